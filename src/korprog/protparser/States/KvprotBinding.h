#ifndef KORPROG_PROTPARSER_STATES_KVPROTBINDING_H
#define KORPROG_PROTPARSER_STATES_KVPROTBINDING_H

#include "helm/BBinding.h"

// The controller's binding to a protocol parser: each binding makes its own
// parser, which the runtime leaves and deletes when the binding ends.
class KvprotBinding : public BBinding {
public:
    explicit KvprotBinding(BKey* key = nullptr) : BBinding(key) {}
    BRootState* createChild() override;
};

#endif
