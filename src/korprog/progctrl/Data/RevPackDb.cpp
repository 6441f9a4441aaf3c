#include "korprog/progctrl/Data/RevPackDb.h"

const char* const RevPackDb::APPLICATION = "RevPacks";

bool RevPackDb::CMDL_CREATE_REVPACK = false;
const char* RevPackDb::CMDL_BINDIR = "";
bool RevPackDb::CHECK_SPECIAL = true;
bool RevPackDb::CHECK_HARDWARE = true;
bool RevPackDb::CMDL_UPGRADE = false;
const char* RevPackDb::CMDL_REVPACK = "";
const char* RevPackDb::CMDL_BINFILE = "";
