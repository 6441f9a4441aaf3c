# Application shell: start-up, command line, shutdown; the doctor (doctor)
# and the production line (line), which start-up runs and which use its
# command line and user directory in turn; and the program.
korprog_library(mainshell DIRS main main/doctor main/line)
korprog_link(mainshell progctrl runlog revpacks ui kpcommon helm bdebug)
add_executable(korprog ${PROJECT_SOURCE_DIR}/src/main/korprog_main.cpp)
target_link_libraries(korprog PRIVATE mainshell)
list(APPEND KORPROG_TEST_LIBS mainshell)

# The start-up tests also run the built program as two processes.
korprog_test_uses_program(test_main korprog KORPROG_PATH)
korprog_test_uses_program(test_main_doctor korprog KORPROG_PATH)
korprog_test_uses_program(test_main_line korprog KORPROG_PATH)
# The unattended runs are tested against the built unit simulator.
korprog_test_uses_program(test_main korvansim KORVANSIM_PATH)
korprog_test_uses_program(test_main_doctor korvansim KORVANSIM_PATH)
korprog_test_uses_program(test_main_line korvansim KORVANSIM_PATH)

# Run from the build tree, the program takes its defaults from the source
# tree's data directory; installed, from <prefix>/share/korprog.
target_compile_definitions(mainshell PRIVATE KORPROG_SOURCE_DATA="${PROJECT_SOURCE_DIR}/data"
                                             KORPROG_VERSION="${PROJECT_VERSION}")

# The bash completion is made by the built program from its table of
# options, so that it can name no option the program does not take.
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/completion/korprog
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/completion
                   COMMAND korprog --bash-completion > ${PROJECT_BINARY_DIR}/completion/korprog
                   DEPENDS korprog
                   VERBATIM)
add_custom_target(completion ALL DEPENDS ${PROJECT_BINARY_DIR}/completion/korprog)
