# Settings model: language tables, setting bin and its entries, the settings
# file (.adn), editor layout rows and the tool's preferences. The Data
# directory is shared with other subsystems, so the units are named one by
# one. The port probe opens ports as the connection driver does.
korprog_library(settings PATTERNS
  korprog/progctrl/Data/Language.cpp
  korprog/progctrl/Data/Translated.cpp
  korprog/progctrl/Data/SettingBin.cpp
  korprog/progctrl/Data/AdnFile.cpp
  korprog/progctrl/Data/SettingEntry.cpp
  korprog/progctrl/Data/SBEntry.cpp
  korprog/progctrl/Data/ConfigInit.cpp
  korprog/progctrl/Data/PortFaultText.cpp)
korprog_link(settings kpcommon conndrv)
list(APPEND KORPROG_TEST_LIBS settings)

# The delivered translation table has a row for every text the program and
# the editor layout hand to it.
if(KORPROG_TESTS)
  add_test(NAME langtexts COMMAND bash ${PROJECT_SOURCE_DIR}/tools/langtexts.sh)
endif()
