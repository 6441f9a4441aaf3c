# Programming controller: its states and events.
korprog_library(progctrl DIRS korprog/progctrl/States)
korprog_link(progctrl kpcommon helm bdebug llist)
list(APPEND KORPROG_TEST_LIBS progctrl)
