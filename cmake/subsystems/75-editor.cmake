# Settings editor: the tabbed widgets built from the layout table, bound to
# the setting bin, and the program's own input choice. The Data directory is
# shared (SBEntry belongs to the settings model), so the units are named.
korprog_library(editor PATTERNS
  korprog/progctrl/Data/SBTabs.cpp
  korprog/progctrl/Data/SBTabSheet.cpp
  korprog/progctrl/Data/SBInput.cpp
  korprog/progctrl/Data/SBMenuButton.cpp
  korprog/progctrl/Data/SBChoice.cpp
  korprog/progctrl/Data/SBInputChoice.cpp
  korprog/progctrl/Data/SBItemValue.cpp
  korprog/progctrl/Data/MenuItemText.cpp
  korprog/progctrl/Data/Fl_Input_Choice.cpp)
korprog_link(editor settings flu kpcommon ${FLTK_LIBRARIES})
list(APPEND KORPROG_TEST_LIBS editor)
