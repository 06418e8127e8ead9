# rollcall_results_ui: the results page's selection, sorting, refresh and row commands.
rollcall_add_library(rollcall_results_ui
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/ResultsPage.cpp ${CMAKE_CURRENT_LIST_DIR}/ResultsPage.h
    LIBS rollcall_results rollcall_ping rollcall_info_ui rollcall_launch_ui rollcall_search rollcall_protocol
         rollcall_ui Qt6::Widgets)
