# Revision packs: the database and its helpers. The Data directory is shared
# with the settings model, so the units are picked by name. The type chooser
# of the new-settings window is a combo list.
korprog_library(revpacks PATTERNS
  korprog/progctrl/Data/RevPackDb*.cpp
  korprog/progctrl/Data/RP*.cpp
  korprog/progctrl/Data/NewKorTypes.cpp)
korprog_link(revpacks settings flu kpcommon helm bdebug)
list(APPEND KORPROG_TEST_LIBS revpacks)
