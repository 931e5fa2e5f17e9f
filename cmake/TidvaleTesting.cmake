# tidvale_add_gtest(NAME SOURCES src... LIBRARIES lib... [RESOURCE_LOCK name])
# One GoogleTest executable; its tests are discovered by CTest. On the Windows build they run
# under Wine in the isolated prefix through the crosscompiling emulator. Tests that change shared
# places of the prefix (the profile's folders, the Recycle Bin) take one RESOURCE_LOCK name so
# that they never overlap under ctest -j.
include(GoogleTest)
function(tidvale_add_gtest name)
  cmake_parse_arguments(arg "" "RESOURCE_LOCK" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBRARIES} GTest::gmock GTest::gtest_main tidvale_warnings)
  set(properties TIMEOUT 120)
  if(arg_RESOURCE_LOCK)
    list(APPEND properties RESOURCE_LOCK ${arg_RESOURCE_LOCK})
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
endfunction()

# tidvale_fuzz_target(TARGET): a libFuzzer executable under AddressSanitizer and
# UndefinedBehaviorSanitizer (native clang build). Optimised: a fuzz run is judged by how many
# inputs it tries, and the sanitizers find the same faults at -O2.
function(tidvale_fuzz_target target)
  target_compile_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined -O2)
  target_link_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
endfunction()
