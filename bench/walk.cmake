# Walk benchmark: "sizeOf" against a minimal raw FindFirstFileExW walk (run by walk_bench.sh,
# which adds native du on the same tree).
add_executable(walk_sizeof_bench ${CMAKE_CURRENT_LIST_DIR}/walk_sizeof.cpp)
target_link_libraries(walk_sizeof_bench PRIVATE tidvale_scanners psapi tidvale_warnings)
target_link_options(walk_sizeof_bench PRIVATE -municode)

add_executable(walk_raw_bench ${CMAKE_CURRENT_LIST_DIR}/walk_raw.cpp)
target_link_libraries(walk_raw_bench PRIVATE tidvale_core tidvale_warnings)
target_link_options(walk_raw_bench PRIVATE -municode)

add_executable(walk_scans_bench ${CMAKE_CURRENT_LIST_DIR}/walk_scans.cpp)
target_link_libraries(walk_scans_bench PRIVATE tidvale_scanners tidvale_win psapi tidvale_warnings)
target_link_options(walk_scans_bench PRIVATE -municode)
