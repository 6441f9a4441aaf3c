#ifndef TESTS_SUPPORT_KVRUNSTATE_H
#define TESTS_SUPPORT_KVRUNSTATE_H

// What a run of the program leaves in its globals (the command line's
// switches, the ending, the unit's versions, the unattended run) set back
// as at start-up, so one process can run the controller again and again.

#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/progctrl/States/KvctrlUnattended.h"
#include "main/Main.h"

inline void resetRunState()
{
    Main::_shutdown = false;
    Main::_exitCode = 0;
    Main::_refPackFile = nullptr;
    RevPackDb::CMDL_UPGRADE = false;
    RevPackDb::CMDL_REVPACK = RevPackDb::CMDL_BINFILE = "";
    RevPackDb::setActHwSwVers("", "", "", "");
    RevPackDb::activeAdnFileReset();
    FrmKorProgImpl::PROG_FILE_ADN = "";
    FrmKorProgImpl::CMDL_PROGRAM = false;
    KvctrlUnattended::reset();
}

#endif
