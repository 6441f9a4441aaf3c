#include "korprog/progctrl/States/KvctrlConnIdle.h"

#include "bdebug/BDownCast.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/progctrl/Data/Translated.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/Run/KvctrlRunPlan.h"
#include "korprog/progctrl/Run/KvctrlSettingsRun.h"
#include "korprog/progctrl/States/KvctrlDownloading.h"
#include "korprog/progctrl/States/KvctrlExtSyntax.h"
#include "korprog/progctrl/States/KvctrlLocSyntax.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/progctrl/States/KvctrlStateList.h"
#include "korprog/progctrl/Run/KvctrlTextFit.h"
#include "korprog/progctrl/Run/KvctrlUnattended.h"
#include "korprog/progctrl/Run/KvctrlUnitValues.h"
#include "korprog/progctrl/States/KvctrlUpgrading.h"
#include "korprog/progctrl/States/KvctrlUploading.h"
#include "korprog/progctrl/States/KvctrlView.h"
#include "korprog/protparser/KvprotExtSyntax.h"
#include "main/Main.h"

KvctrlConnIdle::KvctrlConnIdle(BCompositeState* enclosing)
    : BSimpleState(enclosing, KOR_PROG, PROG_CTRL, KVCTRLCONNIDLE),
      _root(static_cast<KvctrlRoot*>(enclosing->enclosing(STATE_ROOT)))
{
}

void KvctrlConnIdle::onEntry(const BEvent*)
{
    _root->frmStatusInfo(gettext("Verbonden", 0), false);
    _root->startLifeCkTmr();
    _root->startLifeCkTimeout();
    commandLineStarts();
}

void KvctrlConnIdle::onExit(const BEvent*)
{
    _root->stopLifeCkTmr();
    _root->stopLifeCkTimeout();
}

void KvctrlConnIdle::commandLineStarts()
{
    // Once the program is ending, nothing new is started.
    if (Main::shutdownActive()) return;
    if (KvctrlUnattended::upgrade()) {
        KvctrlUnattended::startUpgrade(_root, this);
    } else if (FrmKorProgImpl::PROG_FILE_ADN[0] != '\0' && FrmKorProgImpl::CMDL_PROGRAM) {
        // A batch's unit gets its own values over the base settings.
        if (_root->frame()->btOpenSb()) {
            if (KvctrlUnitValues::applyTo(_root)) sendLocal(new KvctrlUplReqEvt(), STATE_ROOT);
        } else {
            KvctrlUnattended::fail(RunFailure::Kind::BadInput,
                                   std::string("cannot read ") + FrmKorProgImpl::PROG_FILE_ADN);
        }
    } else if (KvctrlSettingsRun::withUnit()) {
        KvctrlSettingsRun::start(_root, this);
    }
}

void KvctrlConnIdle::onEvent(const BEvent* e)
{
    bool result = true;
    const bool local = Kvctrl::isLocal(e);
    const bool parser = Kvctrl::fromParser(e);
    const SignalId sig = e->signalId();
    if (local && sig == LOC_DNLD_REQUEST) {
        result = downloadRequest(e);
        transition(new KvctrlDownloading(enclosing()));
    } else if (local && sig == LOC_LIFECHECK_TIMER) {
        result = lifeCheckTimer(e);
        transition(static_cast<BState*>(nullptr));
    } else if (local && sig == LOC_UPL_REQUEST) {
        // Settings of a pack are the pack's, whatever their type; every text
        // must fit the unit before anything is sent (or backed up).
        SettingBin* bin = _root->korSettingBin();
        if (!_root->sbCheckKorTypes() || !KvctrlTextFit::allow(_root)) {
            if (bin->progPreUpgrade()) _root->runPlan()->dropSettings();
            transition(static_cast<BState*>(nullptr));
        } else if (bin->progPreUpgrade() && _root->runPlan()->backupFirst(LOC_UPL_REQUEST)) {
            // A pack's settings replace the unit's: those are saved first.
            transition(new KvctrlDownloading(enclosing(), KvctrlDownloading::BACKUP));
        } else {
            result = uploadRequest(e);
            transition(new KvctrlUploading(enclosing()));
        }
    } else if (local && sig == LOC_FETCH_REQ) {
        transition(new KvctrlDownloading(enclosing(), KvctrlDownloading::FETCH));
    } else if (local && sig == LOC_UPGRADE_REQ) {
        result = upgradeReq(e, true);
    } else if (parser && sig == CTRL_ACK) {
        _root->restartLifeCkTimeout();
        transition(static_cast<BState*>(nullptr));
    } else if (parser && sig == CTRL_STATUS_INFO) {
        result = statusInfo(e);
        transition(static_cast<BState*>(nullptr));
    } else if (parser && sig == KVPROT_NAK) {
        transition(static_cast<BState*>(nullptr));
    } else if (parser && sig == CTRL_BOOTLOAD_REQ) {
        result = upgradeReq(e, false);
    } else {
        return;
    }
    Kvctrl::report(result, e);
}

bool KvctrlConnIdle::statusInfo(const BEvent* e)
{
    const KvctrlStiEvt* sti = B_CHECKCAST(KvctrlStiEvt, e);
    if (sti) _root->sbStoreStInfo(sti, nullptr);
    _root->restartLifeCkTimeout();
    return sti != nullptr;
}

bool KvctrlConnIdle::downloadRequest(const BEvent*) { return Kvctrl::toParser(this, new KvprotDlrEvt()); }

bool KvctrlConnIdle::uploadRequest(const BEvent*) { return Kvctrl::toParser(this, new KvprotUprEvt()); }

bool KvctrlConnIdle::lifeCheckTimer(const BEvent*) { return Kvctrl::toParser(this, new KvprotSrqEvt()); }

bool KvctrlConnIdle::upgradeReq(const BEvent* e, bool reqToKor)
{
    RevPackDb* db = _root->revPack();
    if (!db || db->binSize() <= 0) {
        // No image to send: nothing starts. A unit that waits in its boot
        // loader makes the user choose one.
        transition(static_cast<BState*>(nullptr));
        if (reqToKor) return false;
        _root->informSetBinFile();
        return true;
    }
    if (reqToKor && _root->runPlan()->backupFirst(LOC_UPGRADE_REQ)) {
        transition(new KvctrlDownloading(enclosing(), KvctrlDownloading::BACKUP));
        return true;
    }
    if (!reqToKor && _root->runPlan()->backupNeeded() && !_root->upgrInitByKor())
        _root->frmStatusInfo(Translated::message("De Korvan staat in de bootloader: er zijn geen instellingen om te bewaren").c_str(), false);
    bool sent = true;
    if (reqToKor)
        sent = Kvctrl::toParser(this, new KvprotUpgradeReq());
    else  // the unit's boot record decides the loader and whether the image chosen earlier suits it
        _root->upgrInitByKor(true);
    transition(new KvctrlUpgrading(enclosing(), db->binSize(), db->binData(), e));
    return sent;
}
