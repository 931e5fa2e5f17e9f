# Codec benchmark: encoding and decoding a large scan reply against a plain memory copy of the same
# bytes, measured in the same run.
add_executable(codec_bench ${CMAKE_CURRENT_LIST_DIR}/codec_bench.cpp)
target_link_libraries(codec_bench PRIVATE tidvale_channels tidvale_warnings)
