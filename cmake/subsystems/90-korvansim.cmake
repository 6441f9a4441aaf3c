# Unit simulator: a Korvan unit on a pseudo-terminal (korvansim). Its logic is
# a library so the tests can drive it in-process; the executable is its main.
korprog_library(korvansimlib DIRS korvansim)
korprog_link(korvansimlib kpcommon)
add_executable(korvansim ${PROJECT_SOURCE_DIR}/src/korvansim/korvansim_main.cpp)
target_link_libraries(korvansim PRIVATE korvansimlib)
list(APPEND KORPROG_TEST_LIBS korvansimlib)

# The simulator's tests also start the built program; the test targets exist
# only once the whole tree is read.
function(korvansim_test_setup)
  if(TARGET test_korvansim)
    target_compile_definitions(test_korvansim PRIVATE KORVANSIM_PATH="$<TARGET_FILE:korvansim>")
    add_dependencies(test_korvansim korvansim)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL korvansim_test_setup)
