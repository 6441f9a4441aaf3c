# Combo boxes with a drop-down list (input plus popup list) and the file and
# directory choosers, standing in for the FLU widgets the windows use.
korprog_library(flu DIRS lib/Flu)
korprog_link(flu ${FLTK_LIBRARIES})
list(APPEND KORPROG_TEST_LIBS flu)
# The FLTK dialogs choose files through them.
korprog_link(kpcommon flu)
