# Unit simulator: a Korvan unit on a pseudo-terminal (korvansim). Its logic is
# a library so the tests can drive it in-process; the executable is its main.
korprog_library(korvansimlib DIRS korvansim)
korprog_link(korvansimlib kpcommon)
add_executable(korvansim ${PROJECT_SOURCE_DIR}/src/korvansim/korvansim_main.cpp)
target_link_libraries(korvansim PRIVATE korvansimlib)
list(APPEND KORPROG_TEST_LIBS korvansimlib)

# The simulator's tests also start the built program.
korprog_test_uses_program(test_korvansim korvansim KORVANSIM_PATH)
