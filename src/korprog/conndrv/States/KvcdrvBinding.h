#ifndef KORPROG_CONNDRV_STATES_KVCDRVBINDING_H
#define KORPROG_CONNDRV_STATES_KVCDRVBINDING_H

#include "helm/BBinding.h"

// A component's binding to the shared connection driver. Every binding
// counts one use of the driver's root; the last one to end removes it.
class KvcdrvBinding : public BBinding {
public:
    explicit KvcdrvBinding(BKey* key = nullptr) : BBinding(key) {}
    BRootState* createChild() override;
    void destroyChild() override;
};

#endif
