# Protocol parser: the component between the controller and the connection
# driver, and its events. It builds against the controller's events and reads
# the window's pack-creation switch.
korprog_library(protparser DIRS korprog/protparser korprog/protparser/States)
korprog_link(protparser progctrl conndrv ui kpcommon helm bdebug llist)
list(APPEND KORPROG_TEST_LIBS protparser)

# The parser's end-to-end tests play against the built unit simulator.
function(protparser_test_setup)
  if(TARGET test_korprog_protparser AND TARGET korvansim)
    target_compile_definitions(test_korprog_protparser PRIVATE KORVANSIM_PATH="$<TARGET_FILE:korvansim>")
    add_dependencies(test_korprog_protparser korvansim)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL protparser_test_setup)
