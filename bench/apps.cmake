# Application list benchmark: "listApps" on 300 registered applications against raw registry
# reads and icon extraction timed in the same run (run by scripts/bench.sh).
add_executable(apps_bench ${CMAKE_CURRENT_LIST_DIR}/apps_bench.cpp
                          ${CMAKE_SOURCE_DIR}/software/test_icon.rc)
target_link_libraries(apps_bench PRIVATE tidvale_software tidvale_core tidvale_win gdiplus
                                         shell32 ole32 tidvale_warnings)
target_link_options(apps_bench PRIVATE -municode)
