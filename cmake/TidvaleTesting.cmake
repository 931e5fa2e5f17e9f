# tidvale_add_gtest(NAME SOURCES src... LIBRARIES lib...)
# One GoogleTest executable; its tests are discovered by CTest. On the Windows build they run
# under Wine in the isolated prefix through the crosscompiling emulator.
include(GoogleTest)
function(tidvale_add_gtest name)
  cmake_parse_arguments(arg "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBRARIES} GTest::gmock GTest::gtest_main tidvale_warnings)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
endfunction()
