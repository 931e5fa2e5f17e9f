# Table benchmark: "analyzeDisk" of an NTFS volume's root from its master file table, against the
# raw walk of the same tree on the native file system (run by mft_bench.sh).
add_executable(mft_scan_bench ${CMAKE_CURRENT_LIST_DIR}/mft_scan.cpp)
target_link_libraries(mft_scan_bench
  PRIVATE tidvale_scanners tidvale_mft_win tidvale_win psapi tidvale_warnings)
target_link_options(mft_scan_bench PRIVATE -municode)
