#ifndef BDEBUG_TRACEDBGCONFIG_H
#define BDEBUG_TRACEDBGCONFIG_H

#include <string>
#include <vector>

#include "helm/BDefs.h"

class BRootState;

// What happens to the binding events a component sends.
enum ReRoutType { NO_RERT = 0, RERT_QUEUE = 1, RERT_NULL = 2, RERT_BYPASS = 3 };

// One row of the built-in trace table; the list ends with the row "end".
struct DfltConfigTable {
    const char* compCode;
    ModuleId mod;
    ComponentId comp;
    DebugLevel dbgLvl;
    ReRoutType reRout;
};

// The trace configuration of one component. An entry with module 0 and
// component 0 was made by a command before its component existed; the
// component takes it over when it registers.
struct ConfigTable {
    std::string name;
    ModuleId mod;
    ComponentId comp;
    DebugLevel dbgLvl;
    ReRoutType reRout;
    std::vector<BRootState*> roots;

    bool isPlaceholder() const { return mod == 0 && comp == 0; }
};

#endif
