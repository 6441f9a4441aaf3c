# Combo boxes with a drop-down list (input plus popup list), standing in for
# the FLU widgets the windows use.
korprog_library(flu DIRS lib/Flu)
korprog_link(flu ${FLTK_LIBRARIES})
list(APPEND KORPROG_TEST_LIBS flu)
