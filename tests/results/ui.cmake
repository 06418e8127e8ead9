# The results page over a small window of its own, against fake servers on loopback.
if(ROLLCALL_GUI)
    rollcall_add_test(tst_resultspage
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_resultspage.cpp
        LIBS rollcall_results_ui rollcall_testsupport)
endif()
