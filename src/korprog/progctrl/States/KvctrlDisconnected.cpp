#include "korprog/progctrl/States/KvctrlDisconnected.h"

#include "bdebug/BDownCast.h"
#include "korprog/RunMode.h"
#include "korprog/conndrv/KvcdrvExtSyntax.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/States/KvctrlConnected.h"
#include "korprog/progctrl/States/KvctrlExtSyntax.h"
#include "korprog/progctrl/States/KvctrlLocSyntax.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/progctrl/States/KvctrlStateList.h"
#include "korprog/progctrl/Run/KvctrlUnattended.h"
#include "korprog/protparser/KvprotExtSyntax.h"

KvctrlDisconnected::KvctrlDisconnected(BCompositeState* enclosing, RunFailure::Kind why)
    : BSimpleState(enclosing, KOR_PROG, PROG_CTRL, KVCTRLDISCONNECTED),
      _root(static_cast<KvctrlRoot*>(enclosing->enclosing(STATE_ROOT))),
      _why(why)
{
}

void KvctrlDisconnected::onEntry(const BEvent*)
{
    _root->setError(KvctrlRoot::CTRL_KORVAN_NOT_CONNECTED, true);
    _root->frmStatusInfo(_root->errorText(), true);
    _root->startLifeCkTmr();
    // The unit's identity goes from the window; its settings stay.
    _root->sbStoreStInfo(nullptr, nullptr);
    _root->showErrorAlert(true);
    // Nobody waits for the unit in an unattended run: it ends here.
    if (RunMode::unattended()) KvctrlUnattended::fail(_why, _root->errorText());
}

void KvctrlDisconnected::onExit(const BEvent*) { _root->stopLifeCkTmr(); }

void KvctrlDisconnected::onEvent(const BEvent* e)
{
    bool result = true;
    switch (e->signalId()) {
    case CTRL_BOOTLOAD_REQ:
        _root->upgrInitByKor(true);
        _root->frmStatusInfo(gettext("Verbonden", 0), false);
        transition(new KvctrlConnected(enclosing()));
        break;
    case LOC_LIFECHECK_TIMER:
        result = lifeCheckTmr(e);
        transition(static_cast<BState*>(nullptr));
        break;
    case CTRL_STATUS_INFO:
        result = statusInfo(e);
        transition(new KvctrlConnected(enclosing()));
        break;
    case CDRV_ERROR:
        // Not consumed: the binder state keeps the flag as well.
        if (Kvctrl::fromDriver(e)) Kvctrl::report(portChanged(e), e);
        return;
    default:
        return;
    }
    Kvctrl::report(result, e);
}

bool KvctrlDisconnected::portChanged(const BEvent* e)
{
    // The port went or came back: the status line says so now, not at the
    // next poll.
    const CdrvErrorEvt* err = B_CHECKCAST(CdrvErrorEvt, e);
    if (!err) return false;
    if (err->error() != CDRV_SET_COM_NOT_OPEN && err->error() != CDRV_CLEAR_COM_NOT_OPEN) return true;
    _root->setError(KvctrlRoot::CTRL_COM_NOT_OPEN, err->error() == CDRV_SET_COM_NOT_OPEN);
    _root->frmStatusInfo(_root->errorText(), true);
    return true;
}

bool KvctrlDisconnected::statusInfo(const BEvent* e)
{
    const KvctrlStiEvt* sti = B_CHECKCAST(KvctrlStiEvt, e);
    if (!sti) return false;
    _root->sbStoreStInfo(sti, nullptr);
    return true;
}

bool KvctrlDisconnected::lifeCheckTmr(const BEvent*)
{
    const bool sent = Kvctrl::toParser(this, new KvprotSrqEvt());
    _root->frmStatusInfo(_root->errorText(), true);
    return sent;
}
