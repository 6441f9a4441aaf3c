# Revision packs: the database and its helpers. The Data directory is shared
# with the settings model, so the units are picked by name.
korprog_library(revpacks PATTERNS
  korprog/progctrl/Data/RevPackDb*.cpp
  korprog/progctrl/Data/RP*.cpp
  korprog/progctrl/Data/NewKorTypes.cpp)
korprog_link(revpacks settings kpcommon helm bdebug)
list(APPEND KORPROG_TEST_LIBS revpacks)
