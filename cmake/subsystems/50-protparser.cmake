# Protocol parser: the component between the controller and the connection
# driver, and its events. It builds against the controller's events and reads
# the window's pack-creation switch.
korprog_library(protparser DIRS korprog/protparser korprog/protparser/States)
korprog_link(protparser progctrl conndrv ui kpcommon helm bdebug llist)
list(APPEND KORPROG_TEST_LIBS protparser)

# The parser's end-to-end tests play against the built unit simulator.
korprog_test_uses_program(test_korprog_protparser korvansim KORVANSIM_PATH)
