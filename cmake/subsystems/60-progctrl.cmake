# Programming controller: its states and events, and the steps of a run
# (Run: backup, read-back, version check, unattended runs). It owns the window (ui),
# the setting bin and configuration (settings) and the pack database
# (revpacks), binds the driver and the parser, and ends the program through
# the application shell's switches; the window and the shell use it in turn,
# cycles CMake resolves for static libraries.
korprog_library(progctrl DIRS korprog/progctrl/States korprog/progctrl/Run)
korprog_link(progctrl runlog ui settings revpacks protparser conndrv mainshell kpcommon helm bdebug llist)
list(APPEND KORPROG_TEST_LIBS progctrl)

# The controller's tests play against the built unit simulator.
korprog_test_uses_program(test_korprog_progctrl_States korvansim KORVANSIM_PATH)
