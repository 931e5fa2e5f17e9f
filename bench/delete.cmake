# Removal benchmark: "deleteItems" against a raw walk-and-delete loop (run by delete_bench.sh).
add_executable(delete_items_bench ${CMAKE_CURRENT_LIST_DIR}/delete_items_bench.cpp)
target_link_libraries(delete_items_bench PRIVATE tidvale_removal tidvale_scanners tidvale_win
  tidvale_warnings)
target_link_options(delete_items_bench PRIVATE -municode)

add_executable(delete_raw_bench ${CMAKE_CURRENT_LIST_DIR}/delete_raw.cpp)
target_link_libraries(delete_raw_bench PRIVATE tidvale_core tidvale_win tidvale_warnings)
target_link_options(delete_raw_bench PRIVATE -municode)
