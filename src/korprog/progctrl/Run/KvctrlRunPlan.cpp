#include "korprog/progctrl/Run/KvctrlRunPlan.h"

#include "helm/BLocalEvent.h"
#include "helm/BState.h"
#include "korprog/KvprgProtDefs.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/Run/KvctrlReadBack.h"
#include "korprog/progctrl/States/KvctrlLocSyntax.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/runlog/RunLog.h"
#include "korprog/runlog/RunOptions.h"
#include "main/Main.h"

KvctrlRunPlan::KvctrlRunPlan(KvctrlRoot* root) : _root(root), _heldForBackup(LOC_UPGRADE_REQ) {}

KvctrlRunPlan::Prepared KvctrlRunPlan::prepareUpgrade(const char* image, bool unitDecides)
{
    Prepared p;
    RevPackDb* db = _root->revPack();
    if (!db || !image || !*image) {
        p.fault = Fault::NotLoaded;
        return p;
    }
    if (!unitDecides && !db->checkTypeSwHwVers(image)) {
        p.fault = Fault::NotAllowed;
        return p;
    }
    // A boot loader that does not fit one frame is never sent.
    if (db->bootSize() <= 0 || db->bootSize() > Kvprg::MAX_BOOT_DATA) {
        p.fault = Fault::NoBootLoader;
        return p;
    }
    p.settings = db->setBinData(image);
    if (db->binSize() <= 0) {
        p.fault = Fault::NotLoaded;
        return p;
    }
    RunLog::image(image, db->binData(), db->binSize());
    // An image refused on loading, or whose settings could not be written
    // out, does not go without them.
    if (!db->binFileSelected()) p.fault = Fault::SettingsNotPrepared;
    return p;
}

void KvctrlRunPlan::startUpgrade(BState* from, bool withSettings)
{
    if (!withSettings) {
        next(from, LOC_UPGRADE_REQ);
        return;
    }
    _root->korSettingBin()->progPreUpgrade(true);
    from->sendLocal(new KvctrlUplReqEvt(), STATE_ROOT);
}

void KvctrlRunPlan::startFetch(BState* from) { next(from, LOC_FETCH_REQ); }

bool KvctrlRunPlan::settingsOfUpgrade() { return RevPackDb::activeAdnFile()[0] != '\0'; }

void KvctrlRunPlan::dropSettings()
{
    RevPackDb::activeAdnFileReset();
    _root->korSettingBin()->progPreUpgrade(false);
}

bool KvctrlRunPlan::backupNeeded() const
{
    if (!RunOptions::BACKUP) return false;
    return !_backupDone && !_root->upgrInitByKor() && _root->korSettingBin()->unitKorType()[0] != '\0';
}

bool KvctrlRunPlan::backupFirst(SignalId request)
{
    if (!backupNeeded()) return false;
    _heldForBackup = request;
    return true;
}

void KvctrlRunPlan::backupMade(BState* from, const std::string& file)
{
    _backupDone = true;
    _backupFile = file;
    next(from, _heldForBackup);
}

bool KvctrlRunPlan::readBackAfter(bool taken)
{
    _readBackPlanned = taken && !Main::shutdownActive() && KvctrlReadBack::enabled(_root);
    return _readBackPlanned;
}

void KvctrlRunPlan::settingsSent(BState* from, bool complete)
{
    const bool readBack = _readBackPlanned;
    _readBackPlanned = false;
    if (!settingsOfUpgrade()) return;
    // The image follows only settings that all went in, and those read
    // back once they verify.
    if (complete && !readBack) {
        next(from, LOC_UPGRADE_REQ);
    } else if (!complete) {
        RevPackDb::activeAdnFileReset();
        _backupDone = false;
    }
}

void KvctrlRunPlan::settingsVerified(BState* from, bool verified)
{
    if (verified) {
        if (settingsOfUpgrade()) next(from, LOC_UPGRADE_REQ);
        return;
    }
    // The image does not follow settings that did not verify.
    RevPackDb::activeAdnFileReset();
    _backupDone = false;
}

void KvctrlRunPlan::imageBegins()
{
    // An upgrade without a backup names none, not an earlier one's.
    if (!_backupDone) _backupFile.clear();
}

void KvctrlRunPlan::imageEnded()
{
    RevPackDb::activeAdnFileReset();
    _backupDone = false;  // the next upgrade makes its own
}

void KvctrlRunPlan::next(BState* from, SignalId request)
{
    from->sendLocal(new BLocalEvent(request, true), STATE_ROOT);
}
