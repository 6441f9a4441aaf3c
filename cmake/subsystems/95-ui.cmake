# User interface: the main window, its dialogs and its behaviour. The window
# holds the settings editor and the combo boxes, and shows the image files.
korprog_library(ui DIRS korprog/progctrl/Forms)
korprog_link(ui progctrl revpacks editor settings flu kpcommon helm bdebug ${FLTK_LIBRARIES})
list(APPEND KORPROG_TEST_LIBS ui)

# The window's tests play against the built unit simulator.
korprog_test_uses_program(test_korprog_progctrl_Forms korvansim KORVANSIM_PATH)
