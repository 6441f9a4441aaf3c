#include "korprog/conndrv/States/KvcdrvBinding.h"

#include "korprog/conndrv/States/KvcdrvRoot.h"

BRootState* KvcdrvBinding::createChild() { return KvcdrvRoot::instance(); }

void KvcdrvBinding::destroyChild()
{
    // Only a binding that counted a use gives one back.
    if (child()) KvcdrvRoot::destroy();
}
