# System benchmark: the summary with its memory figures read directly against the same summary
# plus a full memory report (the process walk it no longer needs), and the memory report against
# a bare process snapshot walk, all measured in the same run.
add_executable(system_bench ${CMAKE_CURRENT_LIST_DIR}/system_bench.cpp)
target_link_libraries(system_bench PRIVATE tidvale_system tidvale_warnings)
