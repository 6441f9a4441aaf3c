#include "korprog/progctrl/States/KvctrlDownloading.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "bdebug/BDownCast.h"
#include "bdebug/BTrace.h"
#include "helm/BTimer.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/Translated.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/States/KvctrlConnIdle.h"
#include "korprog/progctrl/Run/KvctrlBackup.h"
#include "korprog/progctrl/States/KvctrlExtSyntax.h"
#include "korprog/progctrl/States/KvctrlLocSyntax.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/progctrl/Run/KvctrlReadBack.h"
#include "korprog/progctrl/Run/KvctrlSettingsRun.h"
#include "korprog/progctrl/States/KvctrlStateList.h"
#include "korprog/protparser/KvprotExtSyntax.h"
#include "korprog/runlog/RunLog.h"
#include "main/Main.h"

KvctrlDownloading::KvctrlDownloading(BCompositeState* enclosing, Purpose purpose)
    : BSimpleState(enclosing, KOR_PROG, PROG_CTRL, KVCTRLDOWNLOADING),
      _root(static_cast<KvctrlRoot*>(enclosing->enclosing(STATE_ROOT))),
      _purpose(purpose),
      _lastEntry(0),
      _completed(false),
      _concluded(false),
      _fetched(AdnFile::LINES),
      _got(AdnFile::LINES, false),
      _timer(new BTimer(enclosing->queue(), BTimer::ONE_SHOT)),
      _requests(1)  // "Ophalen" sent it before; the others send it on entry
{
}

KvctrlDownloading::~KvctrlDownloading() { delete _timer; }

void KvctrlDownloading::onEntry(const BEvent*)
{
    _root->startLifeCkTimeout();
    _timer->load(BTimer::nSecs(DNLD_TIMEOUT_INTV), LOC_DNLD_TO);
    _root->frmStatusInfo(gettext("Ophalen", 0), false);
    if (_purpose != EDIT) {
        // The editor and its settings are not touched.
        _root->frmSetCursorBusy(true);
        _root->frmActivateButtons(false);
        Kvctrl::toParser(this, new KvprotDlrEvt());
        return;
    }
    _root->frmRmSetEdit();
    _root->frmSetCursorBusy(true);
    _root->frmActivateButtons(false);
    _root->korSettingBin()->editFromDownload(true);
}

void KvctrlDownloading::onExit(const BEvent*)
{
    _timer->disarm();
    _root->frmSetCursorBusy(false);
    _root->frmActivateButtons(true);
    if (_purpose != EDIT) {
        concludeFetch();  // the unit was lost in the middle
        return;
    }
    if (_completed || Main::shutdownActive()) return;
    const int total = std::min<int>(SettingBin::maxKorEntries(), SettingBin::MAX_ENTRIES - 1);
    const std::string note = Translated::message("Ophalen afgebroken na instelling %d van %d: de instellingen zijn niet veranderd", _lastEntry, total);
    _root->transferStopped(_root->errorText(), note);
    // A part of the unit's settings beside the rest of the file's would
    // pass for either: the editor shows what it showed before, under the
    // name of the file it came from.
    _root->korSettingBin()->enableEdit();
}

void KvctrlDownloading::onEvent(const BEvent* e)
{
    if (_purpose != EDIT && Kvctrl::isLocal(e) && e->signalId() == LOC_LIFECHECK_TIMEOUT) {
        // No settings came: the fetch fails, the connection stays; the
        // idle state's own life check decides whether the unit is there.
        concludeFetch();
        transition(new KvctrlConnIdle(enclosing()));
        return;
    }
    if (Kvctrl::isLocal(e) && e->signalId() == LOC_DNLD_TO) {
        Kvctrl::report(askAgain(), e);
        transition(static_cast<BState*>(nullptr));
        return;
    }
    if (!Kvctrl::fromParser(e)) return;
    bool result = true;
    switch (e->signalId()) {
    case KVPROT_NAK:
        // Refused before anything came: asked again. Later the unit is
        // sending, and a NAK is none of ours.
        if (_lastEntry == 0 && _requests < MAX_REQUESTS) {
            _root->restartLifeCkTimeout();
            result = askAgain();
        }
        transition(static_cast<BState*>(nullptr));
        break;
    case KVPROT_SET_ENTRY:
        result = settingEntry(e);
        transition(static_cast<BState*>(nullptr));
        break;
    case CTRL_WAITING:
        result = waiting(e);  // not consumed
        break;
    case CTRL_END_DNLD:
        result = _purpose == EDIT ? endOfDownload(e) : (_completed = true);
        if (_purpose != EDIT) concludeFetch();
        transition(new KvctrlConnIdle(enclosing()));
        break;
    default:
        return;
    }
    Kvctrl::report(result, e);
}

bool KvctrlDownloading::settingEntry(const BEvent* e)
{
    const KvprotSeeEvt* see = B_CHECKCAST(KvprotSeeEvt, e);
    if (!see) return false;
    _timer->disarm();  // the unit is sending
    char status[128];
    std::snprintf(status, sizeof status, "%s #%d %s.", gettext("Ophalen", 0), see->entryNr(), gettext("gereed", 0));
    _root->restartLifeCkTimeout();
    const int nr = see->entryNr();
    if (nr >= 1 && nr <= AdnFile::LINES) {
        _fetched[nr - 1].text = see->f1data();
        _fetched[nr - 1].number = see->f2data();
        _got[nr - 1] = true;
    }
    _lastEntry = see->entryNr();
    _root->frmStatusCount(status, nr, KvctrlRoot::entriesOfUnit());
    // The fetch that is the run's work is its progress.
    if (_purpose == FETCH) RunLog::progress(nr, KvctrlRoot::entriesOfUnit(), "entries");
    return Kvctrl::toParser(this, new KvprotAckEvt());
}

bool KvctrlDownloading::endOfDownload(const BEvent*)
{
    _completed = true;
    _root->stopLifeCkTimeout();
    SettingBin* bin = _root->korSettingBin();
    const std::string cut = takeIntoBin(*bin, _fetched, _got);
    bin->unsavedChanges(false);  // the bin holds what the unit holds
    _root->sbEnableEdit();
    if (!cut.empty())
        _root->statusNote(Translated::message("Ophalen gereed, ingekort: %s", cut.c_str()));
    return true;
}

std::string KvctrlDownloading::takeIntoBin(SettingBin& bin, const std::vector<AdnFile::Line>& fetched,
                                           const std::vector<bool>& got)
{
    std::vector<std::pair<uint8_t, char>> cut;
    // In the unit's order: a field's size follows the settings type (entry 10).
    for (int k = 1; k <= AdnFile::LINES && k <= int(fetched.size()) && k <= int(got.size()); ++k) {
        if (!got[k - 1]) continue;
        const AdnFile::Line& line = fetched[k - 1];
        const uint8_t nr = static_cast<uint8_t>(k);
        if (bin.setEntry(nr, line.text.c_str(), line.number.c_str(), true, SBEntry::INVALID_TYPE)) continue;
        const bool textCut = line.text.size() > bin.textFieldSize(nr, SBEntry::INVALID_TYPE);
        cut.emplace_back(nr, textCut ? 'T' : 'N');
    }
    // Named once the editor is built on the settings type.
    std::string names;
    for (const auto& part : cut) names += (names.empty() ? "" : "; ") + bin.sbEntryTitle(part.first, part.second);
    return names;
}

void KvctrlDownloading::concludeFetch()
{
    if (_concluded) return;
    _concluded = true;
    _root->stopLifeCkTimeout();
    if (_purpose == READ_BACK)
        KvctrlReadBack::conclude(_root, this, _fetched, _got, _completed);
    else if (_purpose == FETCH)
        KvctrlSettingsRun::conclude(_root, _fetched, _got, _completed);
    else
        KvctrlBackup::conclude(_root, this, _fetched, _completed);
}

bool KvctrlDownloading::askAgain()
{
    if (_lastEntry != 0) return true;
    // Given up: the life check ends the fetch once the unit stays silent.
    if (_requests >= MAX_REQUESTS) {
        _timer->disarm();
        return true;
    }
    ++_requests;
    BTrace::instance()->dbgPrint("download request sent again (" + std::to_string(_requests) + ")", true, true);
    _timer->load(BTimer::nSecs(DNLD_TIMEOUT_INTV), LOC_DNLD_TO);
    char status[128];
    std::snprintf(status, sizeof status, "%s, %s.", gettext("Ophalen", 0), gettext("wacht tot Korvan gereed is ...", 0));
    _root->frmStatusInfo(status, false);
    return Kvctrl::toParser(this, new KvprotDlrEvt());
}

bool KvctrlDownloading::waiting(const BEvent*)
{
    const bool sent = Kvctrl::toParser(this, new KvprotDlrEvt());
    char status[128];
    std::snprintf(status, sizeof status, "%s, %s.", gettext("Ophalen", 0), gettext("wacht tot Korvan gereed is ...", 0));
    _root->frmStatusInfo(status, false);
    _root->restartLifeCkTimeout();
    return sent;
}
