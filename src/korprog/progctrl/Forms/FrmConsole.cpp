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
// A line in place is rewritten at most this often (ticks of 10 ms).
const uint32_t IN_PLACE_TICKS = 10;

// A run with the window's view (headless) tells every status line, as the
// window would show it.
StatusOut::Style styleOf(FILE* out) { return RunMode::unattended() ? StatusOut::styleFor(out) : StatusOut::EVERY; }

}  // namespace

FrmConsole::FrmConsole(KvctrlRoot* root, SettingBin* settingBin, FILE* out)
    : _root(root), _settingBin(settingBin), _configInit(nullptr), _out(out), _style(styleOf(out)), _shownTick(0),
      _progress(out, _style)
{
}

void FrmConsole::statusInfo(const char* text, bool)
{
    const std::string line = text ? text : "";
    if (line == _lastStatus) return;
    _lastStatus = line;
    writeUnwritten();
    StatusOut::show(_out, _style, line);
    // Unattended runs trace every status line already.
    if (!RunMode::unattended()) BTrace::instance()->dbgPrint("Status Info: " + line, true, true);
}

void FrmConsole::countInfo(const char* text, int done, int total)
{
    if (_style == StatusOut::EVERY) {
        statusInfo(text, false);
        return;
    }
    const std::string line = text ? text : "";
    if (line == _lastStatus) return;
    _lastStatus = line;
    const uint32_t now = bTimerTick();
    const bool tenth = _count.at(done, total, int64_t(now) * 10);
    if (_style == StatusOut::TENTHS) {
        _unwritten = tenth ? "" : line;
        if (tenth) StatusOut::line(_out, line);
    } else if (_style == StatusOut::IN_PLACE && (tenth || now - _shownTick >= IN_PLACE_TICKS)) {
        _shownTick = now;
        const int64_t left = _count.secondsLeft();
        const std::string shown = line + "  " + std::to_string(done) + "/" + std::to_string(total) +
                                  (left >= 0 ? ", about " + std::to_string(left) + " s left" : "");
        StatusOut::show(_out, _style, shown);
    }
}

void FrmConsole::noticeInfo(const char* text)
{
    if (_style == StatusOut::EVERY) {
        statusInfo(text, false);
        return;
    }
    _lastStatus = text ? text : "";
    writeUnwritten();
    StatusOut::line(_out, _lastStatus);
}

void FrmConsole::writeUnwritten()
{
    // The last entry a count reached is told, also off a tenth: where a
    // run stopped, or a unit with fewer entries.
    if (!_unwritten.empty()) StatusOut::line(_out, _unwritten);
    _unwritten.clear();
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
    writeUnwritten();
    if (!Main::shutdownActive()) Main::_shutdown = true;
}

bool FrmConsole::checkTypeHwVers()
{
    RevPackDb* db = _root->revPack();
    return db && RevPackDb::CMDL_BINFILE[0] != '\0' && db->checkTypeSwHwVers(RevPackDb::CMDL_BINFILE);
}

void FrmConsole::waitEvents() { bSleepMs(WAIT_MS); }
