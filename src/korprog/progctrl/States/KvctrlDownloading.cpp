#include "korprog/progctrl/States/KvctrlDownloading.h"

#include <cstdio>

#include "bdebug/BDownCast.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/States/KvctrlConnIdle.h"
#include "korprog/progctrl/States/KvctrlExtSyntax.h"
#include "korprog/progctrl/States/KvctrlLocSyntax.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/progctrl/States/KvctrlStateList.h"
#include "korprog/protparser/KvprotExtSyntax.h"

KvctrlDownloading::KvctrlDownloading(BCompositeState* enclosing)
    : BSimpleState(enclosing, KOR_PROG, PROG_CTRL, KVCTRLDOWNLOADING),
      _root(static_cast<KvctrlRoot*>(enclosing->enclosing(STATE_ROOT)))
{
}

void KvctrlDownloading::onEntry(const BEvent*)
{
    _root->startLifeCkTimeout();
    _root->frmStatusInfo(gettext("Ophalen", 0), false);
    _root->frmRmSetEdit();
    _root->frmSetCursorBusy(true);
    _root->frmActivateButtons(false);
    _root->korSettingBin()->editFromDownload(true);
}

void KvctrlDownloading::onExit(const BEvent*)
{
    _root->frmSetCursorBusy(false);
    _root->frmActivateButtons(true);
}

void KvctrlDownloading::onEvent(const BEvent* e)
{
    if (!Kvctrl::fromParser(e)) return;
    bool result = true;
    switch (e->signalId()) {
    case KVPROT_SET_ENTRY:
        result = settingEntry(e);
        transition(static_cast<BState*>(nullptr));
        break;
    case CTRL_WAITING:
        result = waiting(e);  // not consumed
        break;
    case CTRL_END_DNLD:
        _root->stopLifeCkTimeout();
        _root->sbEnableEdit();
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
    char status[128];
    std::snprintf(status, sizeof status, "%s #%d %s.", gettext("Ophalen", 0), see->entryNr(), gettext("gereed", 0));
    _root->restartLifeCkTimeout();
    _root->sbEntry(see);
    _root->frmStatusInfo(status, false);
    return Kvctrl::toParser(this, new KvprotAckEvt());
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
