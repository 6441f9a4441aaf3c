#include "korprog/progctrl/Forms/FrmConsole.h"

#include <string>

#include "bdebug/BAssert.h"
#include "bdebug/BTrace.h"
#include "helm/platform/BTimerTick.h"
#include "korprog/RunMode.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "main/Main.h"

namespace {
// What one pass of a window's event loop would take.
const uint32_t WAIT_MS = 10;
}

FrmConsole::FrmConsole(KvctrlRoot* root, SettingBin* settingBin, FILE* out)
    : _root(root), _settingBin(settingBin), _configInit(nullptr), _out(out), _progress(out)
{
}

void FrmConsole::statusInfo(const char* text, bool)
{
    const std::string line = text ? text : "";
    if (line == _lastStatus) return;
    _lastStatus = line;
    if (_out) {
        std::fprintf(_out, "%s\n", line.c_str());
        std::fflush(_out);
    }
    // Unattended runs trace every status line already.
    if (!RunMode::unattended()) BTrace::instance()->dbgPrint("Status Info: " + line, true, true);
}

bool FrmConsole::btOpenSb()
{
    // Only -program opens a file here: nobody checks what it sends.
    const char* file = FrmKorProgImpl::PROG_FILE_ADN;
    std::string why;
    if (_settingBin->loadFromFile(file, true, &why)) return true;
    B_ERROR(" File:" << file << " can not be openened!! " << why);
    return false;
}

void FrmConsole::shutdown()
{
    BTrace::instance()->dbgPrint("=-->FrmConsole::shutdown", true, true);
    if (!Main::shutdownActive()) Main::_shutdown = true;
}

bool FrmConsole::checkTypeHwVers()
{
    RevPackDb* db = _root->revPack();
    return db && RevPackDb::CMDL_BINFILE[0] != '\0' && db->checkTypeSwHwVers(RevPackDb::CMDL_BINFILE);
}

void FrmConsole::waitEvents() { bSleepMs(WAIT_MS); }
