# Revision packs: the database and its helpers, the type chooser of the
# new-settings window (a combo list), and the upgrade tab's widgets (RP*),
# which sit on the settings editor's sheets, read the controller's last
# choices and call the window's upgrade; the controller and the window use
# the database in turn, cycles CMake resolves for static libraries. The Data
# directory is shared with the settings model, so the units are picked by
# name.
korprog_library(revpacks PATTERNS
  korprog/progctrl/Data/RevPackDb*.cpp
  korprog/progctrl/Data/RP*.cpp
  korprog/progctrl/Data/NewKorTypes.cpp)
korprog_link(revpacks settings editor flu progctrl ui kpcommon helm bdebug)
list(APPEND KORPROG_TEST_LIBS revpacks)
