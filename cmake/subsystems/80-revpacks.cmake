# Revision packs: the database and its helpers, and the upgrade tab's
# widgets (RP*), which sit on the settings editor's sheets and read the
# controller's last choices; the controller uses the database in turn, a
# cycle CMake resolves for static libraries. The Data directory is shared
# with the settings model, so the units are picked by name.
korprog_library(revpacks PATTERNS
  korprog/progctrl/Data/RevPackDb*.cpp
  korprog/progctrl/Data/RP*.cpp
  korprog/progctrl/Data/NewKorTypes.cpp)
korprog_link(revpacks settings editor flu progctrl kpcommon helm bdebug)
list(APPEND KORPROG_TEST_LIBS revpacks)
