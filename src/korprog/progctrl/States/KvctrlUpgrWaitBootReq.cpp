#include "korprog/progctrl/States/KvctrlUpgrWaitBootReq.h"

#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/States/KvctrlExtSyntax.h"
#include "korprog/progctrl/States/KvctrlLocSyntax.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/progctrl/States/KvctrlStateList.h"
#include "korprog/progctrl/States/KvctrlUpgrWaitStatInfo.h"
#include "korprog/progctrl/States/KvctrlUpgrading.h"
#include "korprog/protparser/KvprotExtSyntax.h"

KvctrlUpgrWaitBootReq::KvctrlUpgrWaitBootReq(KvctrlUpgrading* upgrading)
    : BSimpleState(upgrading, KOR_PROG, PROG_CTRL, KVCTRLUPGRWAITBOOTREQ), _upgrading(upgrading)
{
}

void KvctrlUpgrWaitBootReq::onEntry(const BEvent*)
{
    _upgrading->startTimer();
    _upgrading->root()->frmStatusInfo(gettext("Upgrading, wait boot request", 0), false);
}

void KvctrlUpgrWaitBootReq::onExit(const BEvent*)
{
    _upgrading->root()->frmStatusInfo(gettext("Upgrading", 0), false);
}

void KvctrlUpgrWaitBootReq::onEvent(const BEvent* e)
{
    // The request may not have reached a unit whose port went away.
    if (_upgrading->portBack(e) && _upgrading->origReq() == KvctrlUpgrading::REQ_FROM_PROGRAMMER)
        Kvctrl::toParser(this, new KvprotUpgradeReq());
    if (!Kvctrl::fromParser(e) || e->signalId() != CTRL_BOOTLOAD_REQ) return;
    // Without a boot loader to send no boot record can come.
    if (!_upgrading->sendBtlData(false)) {
        transition(B_ERROR);
        return;
    }
    transition(new KvctrlUpgrWaitStatInfo(_upgrading));
}
