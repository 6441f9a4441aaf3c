#include "korprog/progctrl/States/KvctrlUploading.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "bdebug/BTrace.h"
#include "helm/BTimer.h"
#include "korprog/Dialog.h"
#include "korprog/RunMode.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/Translated.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/progctrl/States/KvctrlConnIdle.h"
#include "korprog/progctrl/States/KvctrlDownloading.h"
#include "korprog/progctrl/States/KvctrlExtSyntax.h"
#include "korprog/progctrl/States/KvctrlLocSyntax.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/progctrl/States/KvctrlStateList.h"
#include "korprog/progctrl/Run/KvctrlRunPlan.h"
#include "korprog/progctrl/Run/KvctrlUnattended.h"
#include "korprog/progctrl/Run/KvctrlUnitValues.h"
#include "korprog/progctrl/States/KvctrlView.h"
#include "korprog/protparser/KvprotExtSyntax.h"
#include "korprog/runlog/RunLog.h"
#include "main/Main.h"

namespace {

std::string tr(const char* text) { return gettext(text, 0); }

// "Programmeren #3 gereed." and the like.
void showProgress(KvctrlRoot* root, const char* what, int nr)
{
    char status[128];
    std::snprintf(status, sizeof status, "%s #%d %s.", gettext(what, 0), nr, gettext("gereed", 0));
    root->frmStatusCount(status, nr, KvctrlRoot::entriesOfUnit());
}

}  // namespace

bool KvctrlUploading::_awaited = false;

KvctrlUploading::KvctrlUploading(BCompositeState* enclosing)
    : BSimpleState(enclosing, KOR_PROG, PROG_CTRL, KVCTRLUPLOADING),
      _root(static_cast<KvctrlRoot*>(enclosing->enclosing(STATE_ROOT))),
      _settingBin(_root->korSettingBin()),
      _actEntry(1),
      _timer(new BTimer(enclosing->queue(), BTimer::ONE_SHOT)),
      _stopped(false),
      _refused(false),
      _allSent(false),
      _endSent(false),
      _endRefused(false),
      _completed(false),
      _naksInARow(0),
      _acked(0),
      _readBack(false)
{
}

KvctrlUploading::~KvctrlUploading()
{
    delete _timer;
    // The image of an upgrade follows only settings that all went in.
    _root->runPlan()->settingsSent(this, _completed);
    _settingBin->progPreUpgrade(false);
}

void KvctrlUploading::onEntry(const BEvent*)
{
    // The life check runs from the start: a unit that never answers the
    // upload request is lost after the time-out instead of being asked
    // for ever.
    _root->startLifeCkTimeout();
    _root->frmStatusInfo(gettext("Programmeren", 0), false);
    _root->frmSetCursorBusy(true);
    _root->frmActivateButtons(false);
    _settingBin->editFromDownload(true);
    _settingBin->doProgramming(true);
    if (FrmKorProgImpl::CMDL_PROGRAM) KvctrlUnattended::programNotes(_root);
    startTimer();
}

void KvctrlUploading::onExit(const BEvent*)
{
    _awaited = false;
    _root->frmSetCursorBusy(false);
    _root->frmActivateButtons(true);
    _settingBin->doProgramming(false);
    stopTimer();
    if (!_completed)
        tellIncomplete();
    else if (FrmKorProgImpl::CMDL_PROGRAM && _acked == 0)
        KvctrlUnattended::fail(RunFailure::Kind::Refused, "the unit reports no entries; nothing was programmed");
    else if (FrmKorProgImpl::CMDL_PROGRAM && !_readBack)
        KvctrlUnitValues::unitHoldsRow();  // -noverify: programmed is as far as it is proven
    if (FrmKorProgImpl::CMDL_PROGRAM && !_readBack) _root->frame()->shutdown();
}

void KvctrlUploading::tellIncomplete()
{
    if (RunMode::unattended()) {
        KvctrlUnattended::fail(unattendedFailure());
        return;
    }
    const int total = std::min<int>(SettingBin::maxKorEntries(), SettingBin::MAX_ENTRIES - 1);
    const std::string note = Translated::message("Programmeren afgebroken na instelling %d van %d: de Korvan is niet volledig geprogrammeerd", _acked, total);
    _root->transferStopped(cause(), note);
}

std::string KvctrlUploading::cause() const
{
    if (_endRefused) return tr("De Korvan weigerde het einde van het programmeren tien keer");
    if (_refused && _actEntry < 2) return tr("De Korvan weigerde het programmeren tien keer");
    if (_refused)
        return Translated::message("De Korvan weigerde instelling %d tien keer", _actEntry - 1);
    if (_stopped) return tr("Gestopt op uw verzoek");
    return _root->errorText();  // the unit or its port was lost
}

RunFailure KvctrlUploading::unattendedFailure() const
{
    using Kind = RunFailure::Kind;
    const std::string done = _acked == 0 ? "no entry was programmed"
                                         : "entries 1 to " + std::to_string(_acked) + " were programmed";
    const std::string times = std::to_string(Kvctrl::MAX_NAKS_IN_A_ROW) + " times in a row";
    if (_endRefused)
        return {Kind::Refused,
                "the unit refused the end of programming " + times + "; it may not have taken the settings"};
    if (_refused && _actEntry < 2) return {Kind::Refused, "the unit refused programming " + times + "; " + done};
    if (_refused)
        return {Kind::Refused, "the unit refused entry " + std::to_string(_actEntry - 1) + " " + times + "; " + done};
    // The unit took the end of programming before the last entry.
    if (_stopped) return {Kind::Other, "programming stopped at entry " + std::to_string(_actEntry) + "; " + done};
    if (Main::shutdownActive())
        return {Kind::Other, "programming was interrupted after entry " + std::to_string(_acked) + "; " + done};
    return {Kind::UnitLost, "the unit was lost during programming after entry " + std::to_string(_acked) +
                                "; it is not fully programmed"};
}

void KvctrlUploading::onEvent(const BEvent* e)
{
    bool result = true;
    const SignalId sig = e->signalId();
    if (sig == CTRL_ACK || sig == KVPROT_NAK || sig == CTRL_WAITING || sig == LOC_UPLOAD_TO) _awaited = false;
    switch (sig) {
    case CTRL_ACK:
        stopTimer();
        result = _endSent ? endTaken() : handleAck(e);
        transition(static_cast<BState*>(nullptr));
        break;
    case KVPROT_NAK:
        result = handleNak(e);
        transition(static_cast<BState*>(nullptr));
        break;
    case CTRL_WAITING:
    case LOC_UPLOAD_TO:
        result = waiting(e);  // not consumed
        break;
    case LOC_UPL_END:
        Main::_exitCode = 0;
        // What the unit took is proven by reading it back.
        _readBack = _root->runPlan()->readBackAfter(_completed && _acked > 0);
        if (_readBack)
            transition(new KvctrlDownloading(enclosing(), KvctrlDownloading::READ_BACK));
        else
            transition(new KvctrlConnIdle(enclosing()));
        break;
    default:
        return;
    }
    Kvctrl::report(result, e);
}

bool KvctrlUploading::handleAck(const BEvent*)
{
    if (_completed || _stopped) return true;  // the upload is ending already
    _naksInARow = 0;
    if (_actEntry >= 2) _acked = _actEntry - 1;  // the entry sent last was taken
    _root->restartLifeCkTimeout();
    // Told to end: what the unit took is known now, and nothing more goes.
    if (Main::shutdownActive()) return true;
    if (!sendNextEntry()) endUpload();
    return true;
}

bool KvctrlUploading::sendNextEntry()
{
    if (!_root->sbValidEntry(_actEntry)) return false;
    if (!_settingBin->entrySupported(_actEntry, 'N')) {
        stopTimer();
        const std::string notice = tr("Attentie!!") + "\n" + tr("Veldnaam") + ", \"" +
                                   _settingBin->sbEntryTitle(_actEntry, 'N') + "\"\n" +
                                   tr("wordt niet ondersteund voor deze hardware versie.");
        Dialog::choice(notice.c_str(), gettext("Programmeren continueren", 0), nullptr, nullptr, 0);
    }
    // Every text fits: that was settled before the upload began (KvctrlTextFit).
    if (!sendEntry(_actEntry)) return false;
    showProgress(_root, "Programmeren", _actEntry);
    RunLog::progress(_actEntry, KvctrlRoot::entriesOfUnit(), "entries");
    ++_actEntry;
    return true;
}

void KvctrlUploading::endUpload()
{
    _allSent = !_stopped && !_root->sbValidEntry(_actEntry);
    Kvctrl::toParser(this, new KvprotUplEndEvt());
    if (_stopped) {
        sendLocal(new KvctrlUplEndEvt(), STATE_ROOT);
        return;
    }
    _endSent = true;
    _awaited = true;
    _naksInARow = 0;
    startTimer();
}

bool KvctrlUploading::endTaken()
{
    if (_completed || _stopped) return true;  // the upload is ending already
    _completed = _allSent;
    _stopped = !_allSent;
    _root->restartLifeCkTimeout();
    sendLocal(new KvctrlUplEndEvt(), STATE_ROOT);
    return true;
}

bool KvctrlUploading::sendEntry(uint8_t nr)
{
    const SettingEntry* entry = _root->sbGetEntry(nr);
    if (!entry) return false;
    auto* see = new KvprotSeeEvt(nr, entry->text, entry->tfnr);
    see->convertF1('\\', '/');
    _awaited = Kvctrl::toParser(this, see);
    return _awaited;
}

bool KvctrlUploading::handleNak(const BEvent*)
{
    _root->restartLifeCkTimeout();
    if (_completed || _stopped || Main::shutdownActive()) return true;  // the upload is ending already
    if (++_naksInARow >= Kvctrl::MAX_NAKS_IN_A_ROW) {
        // A line that fails every time gets no end of retries.
        BTrace::instance()->dbgPrint("upload given up: " +
                                         (_endSent ? std::string("its end") : "entry " + std::to_string(_actEntry - 1)) +
                                         " refused " + std::to_string(_naksInARow) + " times",
                                     true, true);
        _stopped = true;
        _refused = true;
        if (_endSent) {
            _endRefused = true;
            sendLocal(new KvctrlUplEndEvt(), STATE_ROOT);
        } else {
            endUpload();
        }
        return true;
    }
    if (_endSent) return Kvctrl::toParser(this, new KvprotUplEndEvt());
    // Before the first entry the unit refused the upload request itself.
    if (_actEntry < 2) return Kvctrl::toParser(this, new KvprotUprEvt());
    const uint8_t last = uint8_t(_actEntry - 1);
    return !_root->sbValidEntry(last) || sendEntry(last);
}

bool KvctrlUploading::waiting(const BEvent* e)
{
    if (_completed || _stopped || Main::shutdownActive()) return true;  // the upload is ending already
    bool sent = true;
    if (_endSent) {
        sent = Kvctrl::toParser(this, new KvprotUplEndEvt());
    } else if (_actEntry < 2) {
        sent = Kvctrl::toParser(this, new KvprotUprEvt());
    } else {
        const uint8_t last = uint8_t(_actEntry - 1);
        sent = !_root->sbValidEntry(last) || sendEntry(last);
    }
    char status[128];
    std::snprintf(status, sizeof status, "%s, %s.", gettext("Programmeren", 0),
                  gettext("wacht tot Korvan gereed is ...", 0));
    _root->frmStatusInfo(status, false);
    // Only the unit's own answers keep the connection alive.
    if (e->signalId() == CTRL_WAITING) _root->restartLifeCkTimeout();
    startTimer();
    return sent;
}

void KvctrlUploading::startTimer() { _timer->load(BTimer::nSecs(UPLOAD_TIMEOUT_INTV), LOC_UPLOAD_TO); }

void KvctrlUploading::stopTimer() { _timer->disarm(); }
