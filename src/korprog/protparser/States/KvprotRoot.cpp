#include "korprog/protparser/States/KvprotRoot.h"

#include "korprog/KvprgCompList.h"
#include "korprog/protparser/States/KvprotBndToConnDrv.h"

KvprotRoot::KvprotRoot() : BRootState("Kvprot", KOR_PROG, PROT_PARSER, PRIO_4) {}

void KvprotRoot::onEntry(const BEvent*) { addRegion(new KvprotBndToConnDrv(this)); }
