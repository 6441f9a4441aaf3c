#ifndef HELM_BSCHEDULER_H
#define HELM_BSCHEDULER_H

#include <string>
#include <vector>

#include "helm/BDefs.h"
#include "helm/BPriority.h"
#include "helm/BTimerManager.h"

class BBinding;
class BEvent;
class BEvtQueue;
class BNamedMutex;
class BRootState;
class BState;

// One registered queue in the circular list of its priority.
struct BQListItem {
    BQListItem* _next;
    BEvtQueue* _queue;
};

struct BTransitionData {
    TransitionMode mode;
    BState* target;
};

// What the runtime is serving, for diagnostics.
struct CurrentEvtQueIds {
    uint8_t prio;
    ModuleId qMod;
    ComponentId qCmp;
    StateId qState;
    uint16_t qCount;
    StateId state;
    SystemAction action;
    ModuleId evtMod;
    ComponentId evtCmp;
    SignalId evtSig;
};

// Run-to-completion step statistics, in ticks.
struct Statistics {
    bool check;
    uint32_t nrEvents;
    BTickType min;
    BTickType avg;
    BTickType max;
    BTickType boundary;
    std::string longest;
};

// The process-wide engine: keeps the registered queues by priority, serves
// one event per step to its owner, completes transitions, releases finished
// bindings and roots, and drives the timers. Everything is static.
class BScheduler {
public:
    // Guards the readiness bookkeeping; never held while a hook runs.
    class Lock {
    public:
        Lock();
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;
    };

    static void step();

    static SystemStatus systemStatus();
    static void systemStatus(SystemStatus s);
    static bool terminated() { return systemStatus() == SYSTEM_TERMINATED; }

    static void registerQueue(BEvtQueue* q);
    static void unregisterQueue(BEvtQueue* q);
    static void wake(uint8_t prio);
    static void sleep(uint8_t prio);
    static BTimerManager& timerManager() { return _timerManager; }

    static BEvent* currentEvent() { return _currentEvent; }
    static BState* targetState() { return _transitionData.target; }
    static void targetState(BState* s) { _transitionData.target = s; }
    static TransitionMode transitionMode() { return _transitionData.mode; }
    static void transitionMode(TransitionMode m) { _transitionData.mode = m; }
    static void resetTarget() { _transitionData = {TRAN_NONE, nullptr}; }
    static bool evtProcessed() { return _evtProcessed; }
    static void evtProcessed(bool p) { _evtProcessed = p; }
    static bool deferedEvent() { return _deferedEvent; }
    static void deferedEvent(bool d) { _deferedEvent = d; }

    static void cleanupBinding(BBinding* b);
    static void cleanupRootState(BRootState* r);

    static void setCurrentQueue(BEvtQueue* q);
    static void setCurrentEvent(BEvent* e);
    static void setCurrentState(StateId id, SystemAction action);
    static void setCurrentAction(SystemAction action) { _currEvtQue.action = action; }

    // Diagnostics (BSchedulerPrint.cpp).
    static void printData(ModuleId mod, ComponentId cmp);
    static void printSigOverview();
    static void printCurrentEvt();
    static void printCurrentQueue();
    static void printPrioData();
    static void printStatData();
    static std::string currentQueueAndEvent(BTickType ticks);
    static const char* sysActionToStr(SystemAction a);

    // The "helm" console command; false when the arguments are not its own.
    static bool helmProcDbgStr(int argc, char** argv);
    static void synchroniseTime(uint32_t delta, bool forward) { _timerManager.synchroniseTime(delta, forward); }
    static const char* getVersion() { return HELM_SW_VERSION; }

    static BNamedMutex& helmMutex();
    // Number of queues registered at a priority.
    static unsigned queueCount(uint8_t prio);
    static uint8_t activePrio() { return _activePrio; }
    static uint16_t activeQueues(uint8_t prio) { return prio < NR_OF_PRIORITIES ? _activeQ[prio] : 0; }

private:
    static uint8_t choosePriority();
    static void finishStep(BTickType startTick);
    static void completeTransitions(BState* receiver);
    static void traceUnprocessed(BState* receiver);
    static void terminateIfDone();

    static BQListItem* _QList[NR_OF_PRIORITIES];
    static uint8_t _activePrio;
    static uint16_t _activeQ[NR_OF_PRIORITIES];
    static BTimerManager _timerManager;
    static SystemStatus _systemStatus;
    static BTransitionData _transitionData;
    static bool _deferedEvent;
    static bool _evtProcessed;
    static BEvtQueue* _currentQueue;
    static BEvent* _currentEvent;
    static std::vector<BBinding*> _releaseBindings;  // several may end in one step
    static std::vector<BRootState*> _releaseRootStates;
    static CurrentEvtQueIds _currEvtQue;
    static Statistics _stats;
    static int _traceNrEvents;
    static std::vector<std::string> _recordList;
};

#endif
