#include "korprog/progctrl/States/KvctrlUpgrWaitNak.h"

#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/States/KvctrlLocSyntax.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/progctrl/States/KvctrlStateList.h"
#include "korprog/progctrl/States/KvctrlUpgrUpload.h"
#include "korprog/progctrl/States/KvctrlUpgrading.h"
#include "korprog/protparser/KvprotExtSyntax.h"

KvctrlUpgrWaitNak::KvctrlUpgrWaitNak(KvctrlUpgrading* upgrading)
    : BSimpleState(upgrading, KOR_PROG, PROG_CTRL, KVCTRLUPGRWAITNAK), _upgrading(upgrading)
{
}

void KvctrlUpgrWaitNak::onEntry(const BEvent*)
{
    _upgrading->root()->frmStatusInfo(gettext("Upgrading, wait Nak", 0), false);
    _upgrading->startTimer();
}

void KvctrlUpgrWaitNak::onEvent(const BEvent* e)
{
    if (!Kvctrl::fromParser(e) || e->signalId() != KVPROT_NAK) return;
    // An image of one packet is complete with its first packet.
    const bool last = _upgrading->sendPacket();
    transition(new KvctrlUpgrUpload(_upgrading, last));
}
