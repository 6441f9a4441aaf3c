#include "helm/BEvtQueueFlex.h"

#include <cstdio>

#include "bdebug/BAssert.h"
#include "helm/BCompositeState.h"
#include "helm/BEvent.h"
#include "helm/BScheduler.h"

BEvtQueueFlex::BEvtQueueFlex(BCompositeState* owner, BPriority priority) : BEvtQueue(owner, priority) {}

BEvtQueueFlex::~BEvtQueueFlex()
{
    BEvent* e = nullptr;
    while (_list.popFront(&e)) e->destroy();
    clearDeferedEvts();
}

bool BEvtQueueFlex::post(BEvent* e)
{
    // Binding handshakes overtake ordinary traffic when the component asks for it.
    if (e->signalId() > SIG_WATCHDOG_RESET && _owner && this != _owner->bndqueue() && _owner->useFastBndQueue())
        return _owner->bndqueue()->post(e);
    if (_list.isEmpty()) BScheduler::wake(_priority);
    _list.append(e);
    return true;
}

bool BEvtQueueFlex::post(SignalId) { return false; }

BEvent* BEvtQueueFlex::get()
{
    BEvent* e = nullptr;
    if (!_list.popFront(&e)) return nullptr;
    if (_list.isEmpty()) BScheduler::sleep(_priority);
    return e;
}

bool BEvtQueueFlex::postDefered(BEvent* e)
{
    _deferedList.append(e);
    return true;
}

void BEvtQueueFlex::retryDeferedEvts()
{
    if (_deferedList.isEmpty()) return;
    if (_list.isEmpty()) BScheduler::wake(_priority);
    _list.prepend(_deferedList);
}

void BEvtQueueFlex::clearDeferedEvts()
{
    BEvent* e = nullptr;
    while (_deferedList.popFront(&e)) e->destroy();
}

void BEvtQueueFlex::removeBindingEvts(BBinding* b)
{
    BTrace* trace = BTrace::instance();
    const bool hadEvents = !_list.isEmpty();
    auto purge = [&](const char* label) {
        return [&, label](BEvent* e) {
            if (e->binding() != b) return false;
            trace->dbgPrint(std::string(label) + std::to_string(int(e->signalId())));
            e->destroy();
            return true;
        };
    };
    _list.removeIf(purge("cleanup event: "));
    if (hadEvents && _list.isEmpty()) BScheduler::sleep(_priority);
    _deferedList.removeIf(purge("cleanup defered event: "));
}

void BEvtQueueFlex::prtSigs() const
{
    BTrace* trace = BTrace::instance();
    char line[128];
    auto print = [&](const SLList<BEvent*>& list, const char* fmtHead, const char* fmtLine, const char* label) {
        std::snprintf(line, sizeof line, fmtHead, label, "mod", "cmp", "sig");
        trace->dbgPrint(line);
        list.forEach([&](BEvent* e) {
            std::snprintf(line, sizeof line, fmtLine, "", int(e->moduleId()), int(e->componentId()), int(e->signalId()));
            trace->dbgPrint(line);
        });
    };
    print(_list, "%10s %3s:%3s:%3s", "%10s %3d:%3d:%3d", "List:");
    if (!_deferedList.isEmpty()) print(_deferedList, "%20s %3s:%3s:%3s", "%20s %3d:%3d:%3d", "Deferred List:");
}
