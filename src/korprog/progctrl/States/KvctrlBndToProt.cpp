#include "korprog/progctrl/States/KvctrlBndToProt.h"

#include "bdebug/BAssert.h"
#include "bdebug/BDownCast.h"
#include "korprog/conndrv/KvcdrvExtSyntax.h"
#include "korprog/conndrv/States/KvcdrvBinding.h"
#include "korprog/progctrl/States/KvctrlInit.h"
#include "korprog/progctrl/States/KvctrlLocSyntax.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/progctrl/Run/KvctrlVersionCheck.h"
#include "korprog/progctrl/States/KvctrlStateList.h"
#include "korprog/protparser/States/KvprotBinding.h"
#include "korprog/runlog/RunLog.h"

KvctrlBndToProt::KvctrlBndToProt(KvctrlRoot* root)
    : BBinderState(root, KOR_PROG, PROG_CTRL, KVCTRLBNDTOPROT, PRIO_4), _root(root)
{
}

void KvctrlBndToProt::onEntry(const BEvent*)
{
    _root->frmCtrlBndSt(this);
    addRegion(new KvctrlInit(this));
    addBinding(new KvcdrvBinding());
    addBinding(new KvprotBinding());
}

void KvctrlBndToProt::portSettings()
{
    RunLog::port(_root->cfgComPort());
    sendExternal(new CdrvPortSetEvt(_root->cfgComPort()), KOR_PROG, CONN_DRV, nullptr);
}

void KvctrlBndToProt::onEvent(const BEvent* e)
{
    if (e && Kvctrl::isLocal(e) && e->signalId() == LOC_VERSION_TO) {
        _root->versionCheck()->timedOut();
        transition(static_cast<BState*>(nullptr));
        return;
    }
    if (!e || !Kvctrl::fromDriver(e) || e->signalId() != CDRV_ERROR) return;
    const bool result = handleError(e);
    transition(static_cast<BState*>(nullptr));
    B_ASSERT(result, "Unsuccessful result event=" << int(e->signalId()));
}

bool KvctrlBndToProt::handleError(const BEvent* e)
{
    const CdrvErrorEvt* err = B_CHECKCAST(CdrvErrorEvt, e);
    if (!err) return false;
    switch (err->error()) {
    case CDRV_SET_COM_NOT_OPEN:
        _root->setError(KvctrlRoot::CTRL_COM_NOT_OPEN, true);
        _root->comPortRefused(err->portFault(), err->portHolder(), err->portReason());
        return true;
    case CDRV_CLEAR_COM_NOT_OPEN: _root->setError(KvctrlRoot::CTRL_COM_NOT_OPEN, false); return true;
    default:
        BTrace::instance()->dbgPrint("Unknown cdrv error:" + std::to_string(int(err->error())), true, true);
        return false;
    }
}
