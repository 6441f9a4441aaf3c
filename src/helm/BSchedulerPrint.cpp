// What the runtime shows of itself: its queues, the event being served, the
// step statistics, and the "helm" console command that prints them.
#include "helm/BScheduler.h"

#include <cstdio>
#include <cstdlib>

#include "bdebug/BTrace.h"
#include "helm/BCompositeState.h"
#include "helm/BEvtQueue.h"

const char* BScheduler::sysActionToStr(SystemAction a)
{
    static const char* names[] = {"ONENTRY", "ONEXIT", "ONEVENT", "ONDONE", "ONERROR", "ONINITIAL", "ONSETUP",
                                  "ONRELEASE", "ONSLEEP", "ONACCEPTED", "ONREJECTED", "ONWATCHDOGERROR", "UNDEF"};
    return (a >= 0 && a <= SYSACT_UNDEF) ? names[a] : "UNDEF";
}

std::string BScheduler::currentQueueAndEvent(BTickType ticks)
{
    char buf[256];
    std::snprintf(buf, sizeof buf, "ticks:%u queue prio:%d owner:%d:%d:%d count:%d state:%d action:%s evt:%d:%d:%d",
                  unsigned(ticks), int(_currEvtQue.prio), int(_currEvtQue.qMod), int(_currEvtQue.qCmp),
                  int(_currEvtQue.qState), int(_currEvtQue.qCount), int(_currEvtQue.state),
                  sysActionToStr(_currEvtQue.action), int(_currEvtQue.evtMod), int(_currEvtQue.evtCmp),
                  int(_currEvtQue.evtSig));
    return buf;
}

void BScheduler::printData(ModuleId mod, ComponentId cmp)
{
    BTrace* t = BTrace::instance();
    char buf[200];
    for (uint8_t p = 0; p < NR_OF_PRIORITIES; ++p) {
        BQListItem* head = _QList[p];
        if (!head) continue;
        BQListItem* it = head;
        do {
            BEvtQueue* q = it->_queue;
            BCompositeState* o = q->owner();
            const bool match = (mod == 0 || (o && o->moduleId() == mod)) && (cmp == 0 || (o && o->componentId() == cmp));
            if (match) {
                std::snprintf(buf, sizeof buf, "prio:%d queue:%p owner:%d:%d:%d (%s) events:%d", int(p),
                              static_cast<void*>(q), o ? int(o->moduleId()) : 0, o ? int(o->componentId()) : 0,
                              o ? int(o->stateId()) : 0, o ? o->name() : "", int(q->count()));
                t->dbgPrint(buf);
            }
            it = it->_next;
        } while (it != head);
    }
}

void BScheduler::printSigOverview()
{
    BTrace* t = BTrace::instance();
    for (uint8_t p = 0; p < NR_OF_PRIORITIES; ++p) {
        unsigned events = 0;
        if (BQListItem* head = _QList[p]) {
            BQListItem* it = head;
            do {
                events += it->_queue->count();
                it = it->_next;
            } while (it != head);
        }
        t->dbgPrint("prio:" + std::to_string(p) + " events:" + std::to_string(events));
    }
}

void BScheduler::printCurrentEvt()
{
    BTrace::instance()->dbgPrint("current event mod:" + std::to_string(_currEvtQue.evtMod) +
                                 " cmp:" + std::to_string(_currEvtQue.evtCmp) +
                                 " sig:" + std::to_string(_currEvtQue.evtSig));
}

void BScheduler::printCurrentQueue()
{
    BTrace::instance()->dbgPrint("current queue owner:" + std::to_string(_currEvtQue.qMod) + ":" +
                                 std::to_string(_currEvtQue.qCmp) + ":" + std::to_string(_currEvtQue.qState) +
                                 " prio:" + std::to_string(_currEvtQue.prio));
    if (_currentQueue) _currentQueue->prtSigs();
}

void BScheduler::printPrioData()
{
    char buf[80];
    std::snprintf(buf, sizeof buf, "activePrio:0x%02x status:%d", unsigned(_activePrio), int(_systemStatus));
    BTrace::instance()->dbgPrint(buf);
    for (uint8_t p = 0; p < NR_OF_PRIORITIES; ++p)
        BTrace::instance()->dbgPrint("prio:" + std::to_string(p) + " queues:" + std::to_string(queueCount(p)) +
                                     " active:" + std::to_string(_activeQ[p]));
}

void BScheduler::printStatData()
{
    BTrace* t = BTrace::instance();
    if (!_stats.check) {
        t->dbgPrint("rtcmax is off");
        for (const auto& r : _recordList) t->dbgPrint(r);
        return;
    }
    t->dbgPrint("RTC events:" + std::to_string(_stats.nrEvents) + " min:" + std::to_string(_stats.min) +
                " avg:" + std::to_string(_stats.avg) + " max:" + std::to_string(_stats.max) +
                " boundary:" + std::to_string(_stats.boundary) + " (ticks of 10 ms)");
    t->dbgPrint("longest: " + _stats.longest);
    for (const auto& r : _recordList) t->dbgPrint(r);
}

bool BScheduler::helmProcDbgStr(int argc, char** argv)
{
    // argv[0] is "helm"; the action follows.
    BTrace* t = BTrace::instance();
    auto arg = [&](int i) { return (i < argc && argv[i]) ? std::string(argv[i]) : std::string(); };
    auto num = [&](int i) { return int(std::strtol(arg(i).c_str(), nullptr, 0)); };
    const std::string action = arg(1);
    if (action.empty()) {
        for (uint8_t p = 0; p < NR_OF_PRIORITIES; ++p) {
            BQListItem* head = _QList[p];
            if (!head) continue;
            BQListItem* it = head;
            do {
                BCompositeState* o = it->_queue->owner();
                if (o && !o->enclosing() && it->_queue == o->queue()) o->printHelmData();  // roots only
                it = it->_next;
            } while (it != head);
        }
    } else if (action == "queue") {
        printData(ModuleId(num(2)), ComponentId(num(3)));
    } else if (action == "evt_overview") {
        printSigOverview();
    } else if (action == "prio") {
        printPrioData();
    } else if (action == "curr_evt") {
        printCurrentEvt();
    } else if (action == "curr_queue") {
        printCurrentQueue();
    } else if (action == "rtcmax") {
        _stats.check = arg(2) == "on";
        if (argc > 3 && num(3) > 0) _stats.boundary = BTickType(num(3));
        if (_stats.check) _stats = {true, 0, 0, 0, 0, _stats.boundary, {}};
    } else if (action == "stat") {
        printStatData();
    } else if (action == "trevts") {
        _traceNrEvents = num(2);
    } else if (action == "flush") {
        _recordList.clear();
    } else if (action == "help") {
        t->dbgPrint("       - Print Helm internal data.");
        t->dbgPrint("         Command: \"helm [action]\", action can be:");
        t->dbgPrint("           - (none)        state machine data of all states");
        t->dbgPrint("           - queue [mod [cmp]]  registered queues");
        t->dbgPrint("           - evt_overview  number of events per priority");
        t->dbgPrint("           - prio          priorities and active queues");
        t->dbgPrint("           - curr_evt      current event");
        t->dbgPrint("           - curr_queue    current queue");
        t->dbgPrint("           - ssm -name n [-instName i] [-mod m -cmp c]  one component's state machine");
        t->dbgPrint("           - rtcmax on|off [ticks]  RTC step measurement");
        t->dbgPrint("           - stat          RTC statistics");
        t->dbgPrint("           - ignrst on|off ignore resets");
        t->dbgPrint("           - trevts n      record the next n steps");
        t->dbgPrint("           - flush         clear the recorded steps");
        t->dbgPrint("           - help          this text");
    } else {
        return false;  // "ssm" and "ignrst" belong to the trace facility
    }
    return true;
}
