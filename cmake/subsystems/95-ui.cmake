# User interface: the main window and its behaviour.
korprog_library(ui DIRS korprog/progctrl/Forms)
korprog_link(ui progctrl revpacks settings kpcommon helm bdebug)
list(APPEND KORPROG_TEST_LIBS ui)
