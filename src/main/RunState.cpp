#include "main/RunState.h"

#include "bdebug/BTrace.h"
#include "korprog/RunFailure.h"
#include "korprog/runlog/RunLog.h"
#include "korprog/runlog/StatusOut.h"
#include "korprog/runlog/RunOptions.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/progctrl/Run/KvctrlUnitValues.h"
#include "korprog/progctrl/Run/KvctrlSettingsRun.h"
#include "main/Main.h"
#include "main/MainSignals.h"

void RunState::reset()
{
    // The command line.
    RevPackDb::CMDL_CREATE_REVPACK = false;
    RevPackDb::CMDL_BINDIR = "";
    RevPackDb::CHECK_SPECIAL = true;
    RevPackDb::CHECK_HARDWARE = true;
    RevPackDb::CMDL_UPGRADE = false;
    RevPackDb::CMDL_REVPACK = "";
    RevPackDb::CMDL_BINFILE = "";
    FrmKorProgImpl::CREATE_REVPACK = false;
    FrmKorProgImpl::PROG_FILE_ADN = "";
    FrmKorProgImpl::CMDL_PROGRAM = false;
    KvctrlSettingsRun::reset();
    Main::_refPackFile = nullptr;
    Main::_dbgAddr = "";
    Main::_dbgPort = 0;
    RunOptions::reset();
    KvctrlUnitValues::reset();
    BMainState::_singleInstance = true;

    // The unit and the packs opened.
    RevPackDb::setActHwSwVers("", "", "", "");
    RevPackDb::activeAdnFileReset();
    RevPackDb::TYPELIST = RevPackDb::TYPELIST_OLD;
    RevPackDb::BINLIST = RevPackDb::BINLIST_OLD;
    RevPackDb::START_ADDRESS = RevPackDb::START_ADDRESS_48;
    SettingBin::forgetKorEntries();

    // The ending.
    Main::_shutdown = false;
    Main::_exitCode = 0;
    MainSignals::reset();
    RunFailure::reset();
    RunLog::reset();
    StatusOut::reset();
    BTrace::noticeOut = stdout;
}
