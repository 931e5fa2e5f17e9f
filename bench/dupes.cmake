# Duplicates benchmark: "scanDuplicates" against the one-thread limit of reading only the bytes
# the answer needs (run by dupes_bench.sh, which adds native jdupes on the same tree).
add_executable(dupes_scan_bench ${CMAKE_CURRENT_LIST_DIR}/dupes_scan.cpp)
target_link_libraries(dupes_scan_bench PRIVATE tidvale_scanners tidvale_win psapi tidvale_warnings)
target_link_options(dupes_scan_bench PRIVATE -municode)

add_executable(dupes_limit_bench ${CMAKE_CURRENT_LIST_DIR}/dupes_limit.cpp)
target_link_libraries(dupes_limit_bench PRIVATE tidvale_core bcrypt tidvale_warnings)
target_link_options(dupes_limit_bench PRIVATE -municode)
