#include "korprog/progctrl/States/KvctrlUpgrWaitStatInfo.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "bdebug/BDownCast.h"
#include "helm/BTimer.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/States/KvctrlExtSyntax.h"
#include "korprog/progctrl/States/KvctrlLocSyntax.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/progctrl/States/KvctrlStateList.h"
#include "korprog/progctrl/States/KvctrlUpgrWaitNak.h"
#include "korprog/progctrl/States/KvctrlUpgrading.h"
#include "korprog/progctrl/States/KvctrlView.h"

int KvctrlUpgrWaitStatInfo::_selfTransition = 0;

namespace {
const uint32_t PAUSE_MS = 2000;
}

KvctrlUpgrWaitStatInfo::KvctrlUpgrWaitStatInfo(KvctrlUpgrading* upgrading)
    : BSimpleState(upgrading, KOR_PROG, PROG_CTRL, KVCTRLUPGRWAITSTATINFO),
      _upgrading(upgrading),
      _timer(new BTimer())
{
}

KvctrlUpgrWaitStatInfo::~KvctrlUpgrWaitStatInfo() { delete _timer; }

void KvctrlUpgrWaitStatInfo::armTimer()
{
    _timer->fireEvery(_upgrading->queue(), BTimer::nSecs(BOOTINFO_TIMEOUT_INTV), LOC_BOOTINFO_TO);
}

void KvctrlUpgrWaitStatInfo::onEntry(const BEvent*)
{
    _upgrading->startTimer();
    _upgrading->root()->frmStatusInfo(gettext("Upgrading, wait status info", 0), false);
    armTimer();
}

void KvctrlUpgrWaitStatInfo::onExit(const BEvent*) { _timer->disarm(); }

void KvctrlUpgrWaitStatInfo::onEvent(const BEvent* e)
{
    if (_upgrading->portBack(e)) {
        armTimer();
        _upgrading->sendBtlData(false);
    }
    if (Kvctrl::fromParser(e) && e->signalId() == CTRL_BOOTLOAD_REQ) {
        armTimer();
        _upgrading->sendBtlData(false);
        transition(static_cast<BState*>(nullptr));
    } else if (Kvctrl::fromParser(e) && e->signalId() == CTRL_BOOT_INFO) {
        Kvctrl::report(bootInfo(e), e);
    } else if (Kvctrl::isLocal(e) && e->signalId() == LOC_BOOTINFO_TO) {
        bootInfoTimeout();
    }
}

bool KvctrlUpgrWaitStatInfo::bootInfo(const BEvent* e)
{
    const KvctrlBootInf* bti = B_CHECKCAST(KvctrlBootInf, e);
    if (!bti) return false;
    KvctrlRoot* root = _upgrading->root();
    root->sbStoreStInfo(nullptr, bti);
    if (root->upgrInitByKor()) {
        RevPackDb* db = root->revPack();
        if (!db) {
            transition(B_ERROR);
            return false;
        }
        if (!db->checkBtlHwVersion()) {
            // The boot loader chosen before the unit told its hardware.
            const std::string number = std::string(bti->hardw).substr(std::min<size_t>(2, std::strlen(bti->hardw)), 2);
            // Without one for this unit in the pack nothing more can go out.
            const bool sent = db->setBootData(number.c_str()) && _upgrading->sendBtlData(false);
            if (!sent || _selfTransition > MAX_SELF_TRANSITIONS - 1) {
                _upgrading->fail(KvctrlUpgrOutcome(KvctrlUpgrOutcome::NO_BOOT_LOADER, db->actRpFile(), bti->hardw));
                transition(B_ERROR);
            } else {
                ++_selfTransition;
                transition(new KvctrlUpgrWaitStatInfo(_upgrading));
            }
            return true;
        }
        if (!root->frame()->checkTypeHwVers()) {
            _upgrading->fail(KvctrlUpgrOutcome(KvctrlUpgrOutcome::NOT_ALLOWED, bti->type, bti->hardw));
            transition(B_ERROR);
            return true;
        }
    }
    transition(new KvctrlUpgrWaitNak(_upgrading));
    return true;
}

void KvctrlUpgrWaitStatInfo::bootInfoTimeout()
{
    if (_upgrading->sendBtlData(true)) {
        pause(gettext("Wait status info, try other 2nd stage bootloader...", 0));
        armTimer();
        transition(static_cast<BState*>(nullptr));
        return;
    }
    pause(gettext("Wait status info, Error!!", 0));
    // Only a unit that was sent a boot loader owes a boot record.
    if (_upgrading->btlSent()) _upgrading->fail(KvctrlUpgrOutcome(KvctrlUpgrOutcome::NO_BOOT_RECORD));
    transition(B_ERROR);
}

void KvctrlUpgrWaitStatInfo::pause(const char* status)
{
    KvctrlRoot* root = _upgrading->root();
    root->frmStatusInfo(status, false);
    root->frame()->waitEvents();
    if (KvctrlRoot::sleepFunc) KvctrlRoot::sleepFunc(PAUSE_MS);
}
