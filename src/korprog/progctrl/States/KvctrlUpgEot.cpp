#include "korprog/progctrl/States/KvctrlUpgEot.h"

#include "bdebug/BDownCast.h"
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
      _unanswered(1),  // the upload sent the first
      _askedLast(false)
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

void KvctrlUpgEot::armTimer() { _timer->load(BTimer::n100Ms(EOT_RETRY_INTV), LOC_EOT_TO); }

bool KvctrlUpgEot::eotAgain()
{
    if (_unanswered >= MAX_EOTS) return false;
    ++_unanswered;
    _askedLast = false;
    _upgrading->sendEot();
    armTimer();
    return true;
}

void KvctrlUpgEot::askForStatus()
{
    _askedLast = true;
    Kvctrl::toParser(this, new KvprotSrqEvt());
    armTimer();
}

void KvctrlUpgEot::endUnacknowledged(const BEvent* report)
{
    // Every packet was taken; only the answer to the end is missing.
    _upgrading->endUnacknowledged(KvctrlUpgrOutcome(KvctrlUpgrOutcome::EOT_UNANSWERED, "", "", _unanswered),
                                  report ? B_CHECKCAST(KvctrlStiEvt, report) : nullptr);
    transition(static_cast<BState*>(nullptr));
}

void KvctrlUpgEot::onEvent(const BEvent* e)
{
    if (_upgrading->portBack(e)) eotAgain();
    // The upgrade's 30 s since the unit last answered bound the EOTs too,
    // however late a slow main loop lets them go.
    if (Kvctrl::isLocal(e) && e->signalId() == LOC_UPGRADE_TO) {
        endUnacknowledged(nullptr);
        return;
    }
    if (Kvctrl::isLocal(e) && e->signalId() == LOC_EOT_TO) {
        if (!_askedLast)
            askForStatus();
        else if (!eotAgain())
            endUnacknowledged(nullptr);
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
    } else if (e->signalId() == CTRL_STATUS_INFO) {
        endUnacknowledged(e);
    }
}
