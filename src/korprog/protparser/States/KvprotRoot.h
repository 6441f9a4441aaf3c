#ifndef KORPROG_PROTPARSER_STATES_KVPROTROOT_H
#define KORPROG_PROTPARSER_STATES_KVPROTROOT_H

#include "helm/BRootState.h"

// The protocol parser's root. All the work happens in its one sub-state,
// which binds the connection driver (STATES.md beside this file).
class KvprotRoot : public BRootState {
public:
    KvprotRoot();
    bool isPersistent() const override { return false; }
    void onEntry(const BEvent* e) override;
    void onSetup(BBinding* b) override { accept(b); }
    void printStateData(int, char**) override {}
};

#endif
