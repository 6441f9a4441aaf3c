#include "korprog/progctrl/States/KvctrlConnected.h"

#include "korprog/RunMode.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/States/KvctrlConnIdle.h"
#include "korprog/progctrl/States/KvctrlDisconnected.h"
#include "korprog/progctrl/States/KvctrlExtSyntax.h"
#include "korprog/progctrl/States/KvctrlLocSyntax.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/progctrl/States/KvctrlStateList.h"
#include "korprog/progctrl/Run/KvctrlSettingsRun.h"
#include "korprog/progctrl/Run/KvctrlUnattended.h"
#include "korprog/progctrl/States/KvctrlUpgrading.h"
#include "korprog/progctrl/States/KvctrlView.h"
#include "main/Main.h"

KvctrlConnected::KvctrlConnected(BCompositeState* enclosing)
    : BCompositeState(enclosing, KOR_PROG, PROG_CTRL, KVCTRLCONNECTED, PRIO_4),
      _root(static_cast<KvctrlRoot*>(enclosing->enclosing(STATE_ROOT)))
{
}

void KvctrlConnected::onEntry(const BEvent* e)
{
    _root->connected(true);
    if (e && Kvctrl::fromParser(e) && e->signalId() == CTRL_BOOTLOAD_REQ)
        bootLoadReq(e);
    else
        addRegion(new KvctrlConnIdle(this));
    _root->setError(KvctrlRoot::CTRL_KORVAN_NOT_CONNECTED, false);
    _root->frmStatusInfo(gettext("Verbonden", 0), false);
    _root->checkForRevpack();
}

void KvctrlConnected::onExit(const BEvent*) { _root->connected(false); }

void KvctrlConnected::onEvent(const BEvent* e)
{
    if (!Kvctrl::isLocal(e)) return;
    switch (e->signalId()) {
    case LOC_LIFECHECK_TIMEOUT:
        Kvctrl::report(lifeCheckTimeout(e), e);
        transition(new KvctrlDisconnected(enclosing(), RunFailure::Kind::UnitLost));
        break;
    case LOC_UPGRADE_TO:
        transition(new KvctrlDisconnected(enclosing(), RunFailure::Kind::UnitLost));
        break;
    default:
        break;
    }
}

void KvctrlConnected::onError(const BEvent*, RegionId)
{
    transition(new KvctrlDisconnected(enclosing(), RunFailure::Kind::UnitLost));
}

bool KvctrlConnected::lifeCheckTimeout(const BEvent*)
{
    Main::_exitCode = 1;
    return true;
}

void KvctrlConnected::bootLoadReq(const BEvent* e)
{
    _root->stopLifeCkTimeout();
    if (KvctrlUnattended::upgrade()) {
        // Nobody is there to choose: the image named on the command line.
        KvctrlUnattended::loadImage(_root);
    } else if (RunMode::unattended()) {
        const char* why = KvctrlSettingsRun::withUnit() ? "it has no settings to fetch" : "it takes no settings";
        KvctrlUnattended::fail(RunFailure::Kind::Refused, std::string("the unit waits in its boot loader; ") + why);
    } else {
        _root->informSetBinFile();
        _root->binFileSet(false);
        while (!_root->binFileSet() && !Main::shutdownActive()) _root->frame()->waitEvents();
    }
    // Without an image (the program is ending) there is nothing to upgrade.
    if (!_root->binFileSet()) return;
    RevPackDb* db = _root->revPack();
    addRegion(new KvctrlUpgrading(this, db ? db->binSize() : 0, db ? db->binData() : nullptr, e));
}
