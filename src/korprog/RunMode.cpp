#include "korprog/RunMode.h"

#include <cstdlib>

#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/progctrl/Run/KvctrlSettingsRun.h"

// The command line's switches that make a run answer for itself. They are
// fields of the classes that act on them, defined here so that this
// question, and the dialogs that ask it, need neither the window nor the
// pack database.
bool FrmKorProgImpl::CMDL_PROGRAM = false;
bool RevPackDb::CMDL_UPGRADE = false;
bool RevPackDb::CMDL_CREATE_REVPACK = false;
const char* RevPackDb::CMDL_BINDIR = "";
bool KvctrlSettingsRun::FETCH = false;
bool KvctrlSettingsRun::COMPARE = false;
const char* KvctrlSettingsRun::FETCH_FILE = "";
const char* KvctrlSettingsRun::COMPARE_FILE = "";
const char* KvctrlSettingsRun::WITH_FILE = "";

bool RunMode::unattended()
{
    return FrmKorProgImpl::CMDL_PROGRAM || RevPackDb::CMDL_UPGRADE || KvctrlSettingsRun::FETCH ||
           KvctrlSettingsRun::COMPARE || createsPack();
}

namespace {

enum class Display { UNDECIDED, OPENED, NONE };
Display g_display = Display::UNDECIDED;

}  // namespace

bool RunMode::personAnswers()
{
    if (headless()) return false;
    if (g_display == Display::UNDECIDED) return std::getenv("DISPLAY") != nullptr;
    return g_display == Display::OPENED;
}

void RunMode::displayOpened(bool opened) { g_display = opened ? Display::OPENED : Display::NONE; }

bool RunMode::headless() { return std::getenv("KORPROG_HEADLESS") != nullptr; }

bool RunMode::createsPack()
{
    return RevPackDb::CMDL_CREATE_REVPACK && RevPackDb::CMDL_BINDIR && *RevPackDb::CMDL_BINDIR;
}
