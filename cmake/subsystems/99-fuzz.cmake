# libFuzzer harnesses: every fuzz/*.cpp is one executable fuzz_<name> that
# links the whole program (tests/support gives it the test helpers it
# shares). Only with KORPROG_FUZZ; `cmake --build DIR --target fuzzers`
# builds them all.
if(KORPROG_FUZZ)
  file(GLOB korprog_fuzz_harnesses CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/fuzz/*.cpp)
  add_custom_target(fuzzers)
  foreach(h ${korprog_fuzz_harnesses})
    get_filename_component(name ${h} NAME_WE)
    add_executable(fuzz_${name} ${h})
    target_include_directories(fuzz_${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests
                               ${PROJECT_SOURCE_DIR})
    target_link_libraries(fuzz_${name} PRIVATE ${KORPROG_TEST_LIBS})
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    add_dependencies(fuzzers fuzz_${name})
  endforeach()
endif()
