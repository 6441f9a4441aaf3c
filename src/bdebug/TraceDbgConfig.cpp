#include "bdebug/TraceDbgConfig.h"

#include "bdebug/BTrace.h"

// Copied into the trace table when the trace facility starts. The unnamed
// rows reserve the application's components, which fill in their names when
// they register.
const DfltConfigTable BTrace::_dfltConfigTable[] = {
    {"help", 0, 0, 0, NO_RERT},
    {"helm", MOD_HELM, CMP_HELM, 0, NO_RERT},
    {"", KOR_PROG, 10, 0, NO_RERT},
    {"", KOR_PROG, 11, 0, NO_RERT},
    {"", KOR_PROG, 12, 0, NO_RERT},
    {"end", 0, 0, 0, NO_RERT},
};
