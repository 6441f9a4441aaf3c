#include "korprog/progctrl/States/KvctrlRoot.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "bdebug/BTrace.h"
#include "helm/BTimer.h"
#include "helm/platform/BTimerTick.h"
#include "korprog/Dialog.h"
#include "korprog/RunMode.h"
#include "korprog/progctrl/Data/ConfigInit.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/PortFaultText.h"
#include "korprog/progctrl/Data/Translated.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/Forms/FrmConsole.h"
#include "korprog/progctrl/States/KvctrlBndToProt.h"
#include "korprog/progctrl/States/KvctrlExtSyntax.h"
#include "korprog/progctrl/States/KvctrlLocSyntax.h"
#include "korprog/progctrl/Run/KvctrlRunPlan.h"
#include "korprog/progctrl/Run/KvctrlUnattended.h"
#include "korprog/progctrl/Run/KvctrlUpgrOutcome.h"
#include "korprog/progctrl/Run/KvctrlVersionCheck.h"
#include "korprog/progctrl/States/KvctrlView.h"
#include "korprog/protparser/KvprotExtSyntax.h"
#include "korprog/runlog/RunLog.h"
#include "main/Main.h"

KvctrlRoot::ViewFactory KvctrlRoot::viewFactory = [](KvctrlRoot* root, SettingBin* bin) -> KvctrlView* {
    return new FrmConsole(root, bin, RunLog::statusOut());
};
KvctrlRoot::SleepFunc KvctrlRoot::sleepFunc = bSleepMs;

const char* const KvctrlRoot::_errorText[CTRL_ERR_SIZE] = {
    N_("Korvan fout, ( Algemeen )"),
    N_("Korvan fout, ( SIM niet aanwezig )"),
    N_("Korvan fout, ( Ongeldige PIN )"),
    N_("Korvan fout, ( 3x Ongeldige PIN, gebruik PUK )"),
    N_("COM poort niet beschikbaar"),
    N_("Korvan niet aangesloten"),
    N_("Communicatie fout"),
};

namespace {

// The unit error bits of the status byte; 255 means "no errors known".
const int NR_UNIT_ERRORS = 4;
const uint8_t NO_UNIT_ERRORS = 255;
const char* const MAKER_WEB = "www.ombrix.nl";

// Language messages 208 to 213: what a user must do when the unit waits in
// its boot loader. Shown in Dutch when no language table gives them.
const char* const BOOT_WAIT_TEXTS[] = {
    N_("Korvan staat in de bootloader"),
    N_("Er is geen geldige software aanwezig."),
    N_("Selecteer op het tabblad \"RevPack Software Upgrade\" een RevPack en een bin file"),
    N_("Druk daarna op Upgrade"),
    N_("lukt dit niet"),
    N_("neem dan contact op met Ombrix"),
};

std::string bootWaitText(int i)
{
    const char* id = getMsgId(208 + i);
    return std::string(gettext(id && *id ? id : BOOT_WAIT_TEXTS[i], 0));
}

}  // namespace

KvctrlRoot::KvctrlRoot()
    : BRootState("Kvctrl", KOR_PROG, PROG_CTRL, PRIO_4),
      _lifeCkTmr(new BTimer()),
      _lifeCkTimeout(new BTimer()),
      _frame(nullptr),
      _korSettingBin(nullptr),
      _configInit(nullptr),
      _kvPrErrors(),
      _revPack(nullptr),
      _binFileSet(false),
      _upgrInitByKor(false),
      _actLifeCk(true),
      _showErrorAlert(true),
      _connected(false),
      _statusRed(false),
      _versionCheck(new KvctrlVersionCheck(this)),
      _runPlan(new KvctrlRunPlan(this))
{
    _lastRevpackFile[0] = '\0';
    _lastBinFile[0] = '\0';
}

KvctrlRoot::~KvctrlRoot()
{
    delete _lifeCkTmr;
    delete _lifeCkTimeout;
    delete _versionCheck;
    delete _runPlan;
    delete _configInit;  // writes config.ini, asking us for the last pack and image
    delete _frame;
    delete _korSettingBin;
    delete _revPack;
}

void KvctrlRoot::onEntry(const BEvent*)
{
    if (RunMode::createsPack()) {
        createRevPackUnattended();
        return;
    }
    Language::instance();
    _korSettingBin = new SettingBin(this);
    _frame = viewFactory(this, _korSettingBin);
    _korSettingBin->frame(_frame);
    _configInit = new ConfigInit(_korSettingBin, _frame, this);
    // An unattended run with input it cannot use ends before a byte goes out.
    if (!KvctrlUnattended::checkInput(this)) return;
    addRegion(new KvctrlBndToProt(this));
    checkForRevpack();
}

// ---- life check ----

void KvctrlRoot::startLifeCkTmr()
{
    _lifeCkTmr->fireEvery(queue(), BTimer::nSecs(LIFECHECK_TMR_INTV), LOC_LIFECHECK_TIMER);
}

void KvctrlRoot::stopLifeCkTmr() { _lifeCkTmr->disarm(); }

void KvctrlRoot::restartLifeCkTimeout()
{
    if (_actLifeCk) _lifeCkTimeout->fireIn(queue(), BTimer::nSecs(LIFECHECK_TIMEOUT_INTV), LOC_LIFECHECK_TIMEOUT);
}

void KvctrlRoot::stopLifeCkTimeout() { _lifeCkTimeout->disarm(); }

bool KvctrlRoot::isArmedLifeCkTimeout() const { return _lifeCkTimeout->armed(); }

// ---- the window ----

void KvctrlRoot::frmStatusInfo(const char* text, bool disconnect)
{
    if (!text) text = "";
    _statusText = text;
    _statusRed = disconnect;
    showStatus();
    // Also on request ("Kvctrl lvl hi"): how a run with the window is watched from outside.
    if (RunMode::unattended() || dbg(BTrace::HIGH))
        BTrace::instance()->dbgPrint(std::string("Status Info: ") + text, true, true);
}

void KvctrlRoot::frmStatusCount(const char* text, int done, int total)
{
    _statusText = text ? text : "";
    _statusRed = false;
    if (RunMode::unattended() || dbg(BTrace::HIGH))
        BTrace::instance()->dbgPrint(std::string("Status Info: ") + _statusText, true, true);
    if (_frame) _frame->countInfo(shownStatus().c_str(), done, total);
}

void KvctrlRoot::frmStatusNotice(const std::string& text)
{
    _statusText = text;
    _statusRed = false;
    BTrace::instance()->dbgPrint("Status Info: " + text, true, true);
    if (_frame) _frame->noticeInfo(shownStatus().c_str());
}

int KvctrlRoot::entriesOfUnit() { return std::min<int>(SettingBin::maxKorEntries(), SettingBin::MAX_ENTRIES - 1); }

void KvctrlRoot::statusNote(const std::string& note)
{
    if (note == _statusNote) return;
    _statusNote = note;
    if (!note.empty()) BTrace::instance()->dbgPrint("Status Note: " + note, true, true);
    showStatus();
}

std::string KvctrlRoot::shownStatus() const
{
    // The state first: a status line too narrow for both cuts the note.
    if (_statusNote.empty()) return _statusText;
    return _statusText.empty() ? _statusNote : _statusText + " - " + _statusNote;
}

void KvctrlRoot::showStatus()
{
    if (_frame) _frame->statusInfo(shownStatus().c_str(), _statusRed);
}

std::string KvctrlRoot::withBackup(const std::string& told) const
{
    const std::string& backup = _runPlan->backupFile();
    if (backup.empty()) return told;
    const bool sentence = !told.empty() && told.back() == '.';
    return told + (sentence ? " " : ". ") + Translated::message("Reservekopie van de instellingen: %s", backup.c_str());
}

void KvctrlRoot::transferStopped(const std::string& cause, const std::string& note)
{
    if (Main::shutdownActive() || RunMode::unattended()) return;
    _statusNote = note;
    BTrace::instance()->dbgPrint("Status Note: " + note, true, true);
    frmStatusInfo("", true);
    // Left before the disconnected state has flagged it: the unit was lost.
    const char* why = cause.empty() ? gettext(_errorText[CTRL_KORVAN_NOT_CONNECTED], 0) : cause.c_str();
    Dialog::alert("%s.\n%s.", why, note.c_str());
}

void KvctrlRoot::awaitUpgradedVersion(const std::string& type, const std::string& software, const std::string& imei)
{
    _versionCheck->expect(queue(), type, software, imei);
}

void KvctrlRoot::frmUpgradeProgress(const char* text, int done, int total)
{
    if (_frame) _frame->upgradeProgress(text, done, total);
    RunLog::progress(done, total, "bytes");
    if (RunMode::unattended()) BTrace::instance()->dbgPrint(std::string("Status Info: ") + text, true, true);
}

void KvctrlRoot::frmRmSetEdit()
{
    if (_frame) _frame->removeSettingEdit();
}

void KvctrlRoot::frmCtrlBndSt(KvctrlBndToProt* bndSt)
{
    if (_frame) _frame->ctrlBndSt(bndSt);
}

void KvctrlRoot::frmSetCursorBusy(bool busy)
{
    if (_frame) _frame->cursorBusy(busy);
}

void KvctrlRoot::frmActivateButtons(bool on)
{
    // A transfer starts: how the last one ended is history.
    if (!on) {
        statusNote("");
        _versionCheck->cancel();
    }
    if (_frame) _frame->activateButtons(on);
}

void KvctrlRoot::refreshWindow()
{
    if (_frame) _frame->waitEvents();
}

// ---- the unit's errors ----

void KvctrlRoot::errorStatusByte(uint8_t b)
{
    if (b == NO_UNIT_ERRORS) {
        for (int i = 0; i < NR_UNIT_ERRORS; ++i) _kvPrErrors[i] = false;
        return;
    }
    bool any = false;
    for (int i = 0; i < NR_UNIT_ERRORS; ++i) {
        _kvPrErrors[i] = (b >> i) & 1;
        any = any || _kvPrErrors[i];
    }
    if (!any || !_showErrorAlert || RunMode::unattended()) return;
    std::string text = std::string(gettext("Attentie!! Volgende Fouten gedetecteerd:", 0)) + "\n";
    for (int i = 0; i < CTRL_ERR_SIZE; ++i) {
        if (!_kvPrErrors[i]) continue;
        char line[160];
        std::snprintf(line, sizeof line, "%i. %s\n", i + 1, gettext(_errorText[i], 0));
        text += line;
    }
    Dialog::alert("%s", text.c_str());
    _showErrorAlert = false;
}

void KvctrlRoot::resetErrors()
{
    for (bool& e : _kvPrErrors) e = false;
}

void KvctrlRoot::setError(Error error, bool set)
{
    if (error >= 0 && error < CTRL_ERR_SIZE) _kvPrErrors[error] = set;
    if (error == CTRL_COM_NOT_OPEN && !set) _comRefusalTold.clear();
}

const char* KvctrlRoot::errorText() const
{
    for (Error e : {CTRL_COM_NOT_OPEN, CTRL_KORVAN_NOT_CONNECTED, CTRL_PROTOCOL_ERROR})
        if (_kvPrErrors[e]) return gettext(_errorText[e], 0);
    return "";
}

void KvctrlRoot::comPortRefused(Serial::OpenFault fault, pid_t holder, const char* reason)
{
    const std::string why = PortFaultText::full(fault, cfgComPort(), holder, reason);
    if (why.empty()) return;
    if (!RunMode::unattended()) {
        // Every OK of the options window tries the port again: the same
        // refusal is told once, until the port opens or another one is refused.
        if (why == _comRefusalTold) return;
        _comRefusalTold = why;
        Dialog::alert("%s", why.c_str());
        return;
    }
    std::string line = std::string(gettext(_errorText[CTRL_COM_NOT_OPEN], 0)) + ": " + why;
    for (char& c : line)
        if (c == '\n') c = ' ';
    const bool busy = fault == Serial::PORT_BUSY || fault == Serial::PORT_LOCKED;
    KvctrlUnattended::fail(busy ? RunFailure::Kind::Busy : RunFailure::Kind::Port, line);
}

// ---- the setting bin ----

void KvctrlRoot::sbStoreStInfo(const KvctrlStiEvt* sti, const KvctrlBootInf* bti)
{
    if (sti) {
        if (sti->type[0] == '\0') return;
        _korSettingBin->storeStatusInfo(sti->type, sti->softw, sti->special, sti->hardw, sti->imei);
        RunLog::unit({sti->type, sti->softw, sti->special, sti->hardw, sti->imei});
        errorStatusByte(sti->extraStat);
        _korSettingBin->totalNrEntries(sti->totalNrEntries);
        RevPackDb::setActHwSwVers(sti->type, sti->softw, sti->special, sti->hardw);
        _versionCheck->reported(sti->type, sti->softw, sti->imei);
    } else if (bti) {
        if (bti->type[0] == '\0') return;
        _korSettingBin->storeStatusInfo(bti->type, "", bti->special, bti->hardw, "");
        RunLog::unit({bti->type, "", bti->special, bti->hardw, ""});
        RevPackDb::setActHwSwVers(bti->type, "", bti->special, bti->hardw);
    } else {
        _korSettingBin->storeStatusInfo("", "", "", "", "");
    }
}

void KvctrlRoot::sbEnableEdit()
{
    if (_frame) _frame->showBestGroup("", "");
    _korSettingBin->enableEdit();
}

bool KvctrlRoot::sbEntry(const KvprotSeeEvt* see)
{
    return _korSettingBin->setEntry(see->entryNr(), see->f1data(), see->f2data(), true, SBEntry::INVALID_TYPE);
}

SettingEntry* KvctrlRoot::sbGetEntry(uint8_t nr) { return _korSettingBin->getEntry(nr); }

bool KvctrlRoot::sbValidEntry(uint8_t nr) const { return _korSettingBin->validEntry(nr); }

bool KvctrlRoot::sbCheckKorTypes() { return _korSettingBin->checkKorTypes(); }

const char* KvctrlRoot::cfgComPort() const { return _configInit ? _configInit->comActive() : ""; }

// ---- revision packs ----

void KvctrlRoot::createRevPack()
{
    if (_revPack) {
        _revPack->setRpaFiles();
        return;
    }
    _revPack = new RevPackDb(this, Main::_revpacksDir);
    _revPack->sleepFunc(sleepFunc);
}

void KvctrlRoot::createRevPackUnattended()
{
    // The images are named by config.ini's type names. Without the file
    // they keep their own names: the window's first run writes it.
    std::error_code ec;
    if (std::filesystem::is_regular_file(ConfigInit::fileName(), ec)) _configInit = new ConfigInit(nullptr, nullptr, this);
    createRevPack();
    KvctrlUnattended::createRevPack(_revPack, RevPackDb::CMDL_BINDIR);
    Main::_shutdown = true;
}

void KvctrlRoot::informSetBinFile()
{
    const std::string text = bootWaitText(0) + ".\n\n" + bootWaitText(1) + "\n" + bootWaitText(2) + "!\n\n" +
                             bootWaitText(3) + ",\n" + bootWaitText(4) + ",\n" + bootWaitText(5) + " ( " +
                             MAKER_WEB + " ).";
    Dialog::alert("%s", text.c_str());
    if (_frame) _frame->btOptCkSwUpgrade();
}

void KvctrlRoot::checkForRevpack()
{
    if (Main::_refPackFile && _frame) _frame->enableSwUpgrade();
}

void KvctrlRoot::lastRevpackFile(const char* file)
{
    std::snprintf(_lastRevpackFile, sizeof _lastRevpackFile, "%.*s", LAST_NAME_MAX, file ? file : "");
}

void KvctrlRoot::lastBinFile(const char* file)
{
    std::snprintf(_lastBinFile, sizeof _lastBinFile, "%.*s", LAST_NAME_MAX, file ? file : "");
}

const char* KvctrlRoot::refPackFile() const { return Main::_refPackFile; }

const char* KvctrlRoot::customKorType(const char* standard) const
{
    return _configInit ? _configInit->customKorType(standard) : standard;
}

const char* KvctrlRoot::replaceOmbrixByCustomType(const char* fileName)
{
    return _configInit ? _configInit->replaceOmbrixByCustomType(fileName) : fileName;
}

// ---- the remote console ----

void KvctrlRoot::printStateData(int argc, char** argv)
{
    BTrace* t = BTrace::instance();
    for (int i = 1; i < argc; ++i) {
        if (!std::strstr(argv[i], "rpa")) continue;
        if (i + 1 < argc && std::strstr(argv[i + 1], "info")) {
            if (_revPack) _revPack->printData();
            t->dbgPrint("\n --- last selected ---");
            t->dbgPrintf("revpack: %s:", _lastRevpackFile);
            t->dbgPrintf("bin    : %s:", _lastBinFile);
            return;
        }
        int k = i + 1;
        if (k + 5 < argc && std::strstr(argv[k], "set_actual")) {
            _korSettingBin->storeStatusInfo(argv[k + 1], argv[k + 2], argv[k + 3], argv[k + 4], argv[k + 5]);
            RevPackDb::setActHwSwVers(argv[k + 1], argv[k + 2], argv[k + 3], argv[k + 4]);
            k += 6;
        }
        if (k + 1 < argc && std::strstr(argv[k], "chk_bin")) {
            const bool result = _revPack && _revPack->checkTypeSwHwVers(argv[k + 1]);
            t->dbgPrintf("chk bin, %s, result=%d", argv[k + 1], result);
        }
        return;
    }
}
