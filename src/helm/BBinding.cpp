#include "helm/BBinding.h"

#include <cstdio>

#include "bdebug/BAssert.h"
#include "helm/BBinderState.h"
#include "helm/BBindingEvent.h"
#include "helm/BEvtQueue.h"
#include "helm/BRootState.h"
#include "helm/BScheduler.h"
#include "lib/LList/SLList.h"

BBinding::BBinding(BKey* key)
    : _parent(nullptr), _child(nullptr), _parentModuleId(0), _parentComponentId(0), _key(key), _status(UNINITIALIZED)
{
}

BBinding::~BBinding() = default;

ModuleId BBinding::childModuleId() const { return _child ? _child->moduleId() : ModuleId(MOD_UNDEFINED); }

ComponentId BBinding::childComponentId() const { return _child ? _child->componentId() : ComponentId(CMP_UNDEFINED); }

const char* BBinding::currentStatus() const
{
    switch (_status) {
    case UNINITIALIZED: return "UNINITIALIZED";
    case SETUP: return "SETUP";
    case ACCEPTED: return "ACCEPTED";
    case REJECTED: return "REJECTED";
    case ACTIVATED: return "ACTIVATED";
    case RELEASING: return "RELEASING";
    }
    return "UNKNOWN";
}

void BBinding::parent(BBinderState* p)
{
    _parent = p;
    _parentModuleId = p ? p->moduleId() : 0;
    _parentComponentId = p ? p->componentId() : 0;
}

static BBindingEvent* handshakeEvent(SignalId sig, BBinding* b, BBindingEvent::Source src)
{
    auto* e = new BBindingEvent(sig, true);
    e->binding(b);
    e->source(src);
    e->moduleId(MOD_HELM);
    e->componentId(CMP_HELM);
    return e;
}

void BBinding::postToParent(SignalId sig)
{
    BEvtQueue* q = _parent ? _parent->queue() : nullptr;
    BBindingEvent* e = handshakeEvent(sig, this, BBindingEvent::CHILD);
    if (!q || !q->post(e)) {
        B_FAIL("Post failed sig=" << int(sig));
        e->destroy();
    }
}

void BBinding::postToChild(SignalId sig)
{
    BEvtQueue* q = _child ? _child->queue() : nullptr;
    BBindingEvent* e = handshakeEvent(sig, this, BBindingEvent::PARENT);
    if (!q || !q->post(e)) {
        B_FAIL("Post failed sig=" << int(sig));
        e->destroy();
    }
}

void BBinding::traceBinding(const char* tag) const
{
    if (!_child || !(_child->debugLevel() & DBG_BINDING)) return;
    char buf[200];
    std::snprintf(buf, sizeof buf, "%sbnd:%p parent:%d:%d child:%d:%d (%s:%s)", tag, static_cast<const void*>(this),
                  int(_parentModuleId), int(_parentComponentId), int(childModuleId()), int(childComponentId()),
                  _child->name(), _child->instName().c_str());
    BTrace::instance()->dbgPrint(buf, true, true);
}

void BBinding::setup()
{
    if (_status != UNINITIALIZED) {
        B_FAIL("unexpected call");
        return;
    }
    _status = SETUP;
    _child = createChild();
    if (!_child) {
        B_FAIL("child must be defined in createChild");
        return;
    }
    if (!_child->isPersistent()) _child->initialize();
    postToChild(SIG_SETUP_BINDING);
}

bool BBinding::advance(BStatus from, BStatus to)
{
    if (_status != from && _status != RELEASING) {
        B_FAIL("unexpected call");
        return false;
    }
    if (_status == RELEASING) return false;  // a late answer to a binding being released
    _status = to;
    return true;
}

void BBinding::accepted()
{
    if (advance(SETUP, ACCEPTED)) postToParent(SIG_BINDING_ACCEPTED);
}

void BBinding::rejected()
{
    if (advance(SETUP, REJECTED)) postToParent(SIG_BINDING_REJECTED);
}

void BBinding::activated()
{
    if (advance(ACCEPTED, ACTIVATED)) traceBinding("=actbnd>;");
}

void BBinding::release()
{
    if (_status == UNINITIALIZED) {
        B_FAIL("unexpected call");
        return;
    }
    // A second release would queue a second purge for a binding that is
    // deleted after the first.
    if (_status == RELEASING) return;
    _status = RELEASING;
    if (_child) postToChild(SIG_RELEASE_BINDING);
    else BScheduler::cleanupBinding(this);  // no child ever came: nothing to hand the release to
}

void BBinding::released()
{
    if (_status != RELEASING) {
        B_FAIL("unexpected call");
        return;
    }
    traceBinding("=delbnd>;");
    const bool persistent = _child && _child->isPersistent();
    if (_child && !persistent) _child->abort();
    destroyChild();
    if (_child && !persistent) delete _child;
    _child = nullptr;
}

void BBinding::wdError()
{
    if (_status == SETUP || _status == ACCEPTED || _status == ACTIVATED) postToParent(SIG_WATCHDOG_ERROR);
}

void BBinding::printList(int argc, char** argv, const char* owner, const char* countLabel, const void* self,
                         const SLList<BBinding*>& list, bool showParents)
{
    BTrace* t = BTrace::instance();
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i] ? argv[i] : "";
        if (arg == "bnd") {
            char buf[160];
            t->dbgPrint(std::string(29, '>'));
            t->dbgPrint(std::string(owner) + " bindings:");
            std::snprintf(buf, sizeof buf, "this:%p %s=%u", self, countLabel, list.count());
            t->dbgPrint(buf);
            list.forEach([&](BBinding* b) {
                std::snprintf(buf, sizeof buf, "bndPtr:%p status:%s mod:%d comp:%d", static_cast<void*>(b),
                              b->currentStatus(), int(showParents ? b->parentModuleId() : b->childModuleId()),
                              int(showParents ? b->parentComponentId() : b->childComponentId()));
                t->dbgPrint(buf);
            });
            t->dbgPrint(std::string(29, '<'));
        } else if (arg == "-help") {
            t->dbgPrint(std::string(owner) + " -help:");
            t->dbgPrint("bnd, (Prints all the bindings)");
        }
    }
}
