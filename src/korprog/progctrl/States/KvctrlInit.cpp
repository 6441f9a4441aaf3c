#include "korprog/progctrl/States/KvctrlInit.h"

#include "bdebug/BDownCast.h"
#include "helm/BTimer.h"
#include "korprog/conndrv/KvcdrvExtSyntax.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/States/KvctrlBndToProt.h"
#include "korprog/progctrl/States/KvctrlConnected.h"
#include "korprog/progctrl/States/KvctrlDisconnected.h"
#include "korprog/progctrl/States/KvctrlExtSyntax.h"
#include "korprog/progctrl/States/KvctrlLocSyntax.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/progctrl/States/KvctrlStateList.h"
#include "korprog/protparser/KvprotExtSyntax.h"
#include "main/Main.h"

KvctrlInit::KvctrlInit(KvctrlBndToProt* enclosing)
    : BSimpleState(enclosing, KOR_PROG, PROG_CTRL, KVCTRLINIT),
      _bndSt(enclosing),
      _root(static_cast<KvctrlRoot*>(enclosing->enclosing(STATE_ROOT))),
      _lifeChkTmr(new BTimer(enclosing->queue(), BTimer::ONE_SHOT))
{
}

KvctrlInit::~KvctrlInit() { delete _lifeChkTmr; }

void KvctrlInit::onEntry(const BEvent*)
{
    _bndSt->portSettings();
    Kvctrl::toParser(this, new KvprotSrqEvt());
    _lifeChkTmr->load(BTimer::nSecs(POLL_INTV), LOC_LIFECHECK_TIMER);
    _root->startLifeCkTimeout();
    _root->frmStatusInfo(gettext("Initializeren ...", 0), false);
}

void KvctrlInit::onEvent(const BEvent* e)
{
    bool result = true;
    switch (e->signalId()) {
    case CTRL_STATUS_INFO:
        result = statusInfo(e);
        transition(new KvctrlConnected(_bndSt));
        break;
    case CTRL_BOOTLOAD_REQ:
        _root->upgrInitByKor(true);
        transition(new KvctrlConnected(_bndSt));
        break;
    case LOC_LIFECHECK_TIMEOUT:
        result = lifeCheckTimeout(e);
        transition(new KvctrlDisconnected(_bndSt, RunFailure::Kind::NoUnit));
        break;
    case LOC_LIFECHECK_TIMER:
        result = Kvctrl::toParser(this, new KvprotSrqEvt());
        _lifeChkTmr->load(BTimer::nSecs(POLL_INTV), LOC_LIFECHECK_TIMER);
        transition(static_cast<BState*>(nullptr));
        break;
    case CDRV_ERROR:
        if (!Kvctrl::fromDriver(e)) return;
        result = handleError(e);
        break;
    default:
        return;
    }
    Kvctrl::report(result, e);
}

bool KvctrlInit::statusInfo(const BEvent* e)
{
    _root->stopLifeCkTimeout();
    const KvctrlStiEvt* sti = B_CHECKCAST(KvctrlStiEvt, e);
    if (!sti) return false;
    _root->sbStoreStInfo(sti, nullptr);
    return true;
}

bool KvctrlInit::lifeCheckTimeout(const BEvent*)
{
    Main::_exitCode = 1;
    return true;
}

bool KvctrlInit::handleError(const BEvent* e)
{
    const CdrvErrorEvt* err = B_CHECKCAST(CdrvErrorEvt, e);
    if (!err) return false;
    if (err->error() == CDRV_SET_COM_NOT_OPEN) {
        _root->setError(KvctrlRoot::CTRL_COM_NOT_OPEN, true);
        _root->comPortRefused(err->portFault(), err->portHolder(), err->portReason());
        transition(new KvctrlDisconnected(_bndSt, RunFailure::Kind::Port));
    } else if (err->error() == CDRV_CLEAR_COM_NOT_OPEN) {
        // Not consumed: the binder state clears the flag as well.
        _root->setError(KvctrlRoot::CTRL_COM_NOT_OPEN, false);
    }
    return true;
}
