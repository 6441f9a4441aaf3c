#include "korprog/progctrl/States/KvctrlUpgEot.h"

#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/States/KvctrlExtSyntax.h"
#include "korprog/progctrl/States/KvctrlLocSyntax.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/progctrl/States/KvctrlStateList.h"
#include "korprog/progctrl/States/KvctrlUpgrading.h"
#include "korprog/protparser/KvprotExtSyntax.h"

KvctrlUpgEot::KvctrlUpgEot(KvctrlUpgrading* upgrading)
    : BSimpleState(upgrading, KOR_PROG, PROG_CTRL, KVCTRLUPGEOT), _upgrading(upgrading)
{
}

void KvctrlUpgEot::onEntry(const BEvent*) { _upgrading->startTimer(); }

void KvctrlUpgEot::onExit(const BEvent*)
{
    _upgrading->root()->frmStatusInfo(gettext("Upgrading, End Of Tx", 0), false);
    _upgrading->stopTimer();
}

void KvctrlUpgEot::onEvent(const BEvent* e)
{
    if (!Kvctrl::fromParser(e)) return;
    if (e->signalId() == CTRL_ACK) {
        _upgrading->ackReceived();
        sendLocal(new BLocalEvent(LOC_UPGRADE_END, true), STATE_ROOT);
        transition(static_cast<BState*>(nullptr));
    } else if (e->signalId() == KVPROT_NAK) {
        if (_upgrading->nakGivesUp()) {
            transition(B_ERROR);
            return;
        }
        Kvctrl::toParser(this, new BBindingEvent(KVPROT_EOT, true));
        _upgrading->startTimer();
        transition(static_cast<BState*>(nullptr));
    }
}
