#include "korprog/progctrl/States/KvctrlUpgrWaitBootReq.h"

#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/States/KvctrlExtSyntax.h"
#include "korprog/progctrl/States/KvctrlLocSyntax.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/progctrl/States/KvctrlStateList.h"
#include "korprog/progctrl/States/KvctrlUpgrWaitStatInfo.h"
#include "korprog/progctrl/States/KvctrlUpgrading.h"

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
    if (!Kvctrl::fromParser(e) || e->signalId() != CTRL_BOOTLOAD_REQ) return;
    _upgrading->sendBtlData(false);
    transition(new KvctrlUpgrWaitStatInfo(_upgrading));
}
