#include "korprog/progctrl/States/KvctrlUpgEot.h"

#include "helm/BTimer.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/States/KvctrlExtSyntax.h"
#include "korprog/progctrl/States/KvctrlLocSyntax.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/progctrl/States/KvctrlStateList.h"
#include "korprog/progctrl/States/KvctrlUpgrading.h"
#include "korprog/protparser/KvprotExtSyntax.h"

KvctrlUpgEot::KvctrlUpgEot(KvctrlUpgrading* upgrading)
    : BSimpleState(upgrading, KOR_PROG, PROG_CTRL, KVCTRLUPGEOT),
      _upgrading(upgrading),
      _timer(new BTimer(upgrading->queue(), BTimer::ONE_SHOT)),
      _unanswered(1)  // the upload sent the first
{
}

KvctrlUpgEot::~KvctrlUpgEot() { delete _timer; }

void KvctrlUpgEot::onEntry(const BEvent*)
{
    _upgrading->startTimer();
    armTimer();
}

void KvctrlUpgEot::onExit(const BEvent*)
{
    _upgrading->root()->frmStatusInfo(gettext("Upgrading, End Of Tx", 0), false);
    _upgrading->stopTimer();
    _timer->disarm();
}

void KvctrlUpgEot::armTimer() { _timer->load(BTimer::nSecs(EOT_RETRY_INTV), LOC_EOT_TO); }

bool KvctrlUpgEot::eotAgain()
{
    if (_unanswered >= MAX_EOTS) return false;
    ++_unanswered;
    _upgrading->sendEot();
    armTimer();
    return true;
}

void KvctrlUpgEot::onEvent(const BEvent* e)
{
    if (_upgrading->portBack(e)) eotAgain();
    // The upgrade's 30 s since the unit last answered bound the EOTs too,
    // however late a slow main loop lets them go.
    const bool timedOut = Kvctrl::isLocal(e) && e->signalId() == LOC_UPGRADE_TO;
    if (timedOut || (Kvctrl::isLocal(e) && e->signalId() == LOC_EOT_TO)) {
        if (!timedOut && eotAgain()) {
            transition(static_cast<BState*>(nullptr));
            return;
        }
        // Every packet was taken; the answer to the end may be what is lost
        // (a receiver that exits as it answers). The unit proves the end
        // by reporting the image's version.
        _upgrading->endUnacknowledged(KvctrlUpgrOutcome(KvctrlUpgrOutcome::EOT_UNANSWERED, "", "", _unanswered));
        transition(static_cast<BState*>(nullptr));
        return;
    }
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
        _unanswered = 0;
        _upgrading->startTimer();  // the unit answered
        eotAgain();
        transition(static_cast<BState*>(nullptr));
    }
}
