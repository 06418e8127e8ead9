# Player matching: lower-casing, substring and wildcard rules, the result row cells.
rollcall_add_test(tst_playermatcher
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_playermatcher.cpp
    LIBS rollcall_search rollcall_testsupport
    TIMEOUT 60)
