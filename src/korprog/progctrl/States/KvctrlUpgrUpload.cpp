#include "korprog/progctrl/States/KvctrlUpgrUpload.h"

#include "korprog/progctrl/States/KvctrlExtSyntax.h"
#include "korprog/progctrl/States/KvctrlLocSyntax.h"
#include "korprog/progctrl/States/KvctrlStateList.h"
#include "korprog/progctrl/States/KvctrlUpgEot.h"
#include "korprog/progctrl/States/KvctrlUpgrading.h"
#include "korprog/protparser/KvprotExtSyntax.h"

KvctrlUpgrUpload::KvctrlUpgrUpload(KvctrlUpgrading* upgrading, bool uplReady)
    : BSimpleState(upgrading, KOR_PROG, PROG_CTRL, KVCTRLUPGRUPLOAD), _upgrading(upgrading), _uplReady(uplReady)
{
}

void KvctrlUpgrUpload::onEvent(const BEvent* e)
{
    const SignalId sig = e->signalId();
    // The port went away and is back: the packets since the segment's start
    // may never have arrived, or their answer not.
    if (_upgrading->portBack(e)) _uplReady = _upgrading->re_SendPacket();
    if (Kvctrl::fromParser(e) && sig == CTRL_ACK) {
        _upgrading->ackReceived();
        if (_uplReady)
            sendLocal(new BLocalEvent(LOC_UPG_DATA_READY, true), STATE_ROOT);
        else
            _uplReady = _upgrading->sendPacket();
        transition(static_cast<BState*>(nullptr));
    } else if (Kvctrl::fromParser(e) && sig == KVPROT_NAK) {
        if (_upgrading->nakGivesUp()) {
            transition(B_ERROR);
            return;
        }
        _uplReady = _upgrading->re_SendPacket();
        transition(static_cast<BState*>(nullptr));
    } else if (Kvctrl::fromParser(e) && sig == CTRL_BOOTLOAD_REQ) {
        // The unit restarted in the middle of the image.
        _upgrading->fail(KvctrlUpgrOutcome(KvctrlUpgrOutcome::RESTARTED));
        transition(B_ERROR);
    } else if (Kvctrl::isLocal(e) && sig == LOC_UPG_DATA_READY) {
        _upgrading->sendEot();
        transition(new KvctrlUpgEot(_upgrading));
    }
}
