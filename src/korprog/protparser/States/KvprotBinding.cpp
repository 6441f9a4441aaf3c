#include "korprog/protparser/States/KvprotBinding.h"

#include "korprog/protparser/States/KvprotRoot.h"

BRootState* KvprotBinding::createChild() { return new KvprotRoot(); }
