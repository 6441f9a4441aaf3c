#ifndef KORPROG_RUNLOG_RUNFACTS_H
#define KORPROG_RUNLOG_RUNFACTS_H

#include <string>
#include <vector>

#include "korprog/runlog/JsonLine.h"

// What a run learns about the unit and its settings, in the form both the
// events of a run and its record write them.

// The unit as its status record reports it.
struct UnitIdentity {
    std::string type;
    std::string software;
    std::string special;
    std::string hardware;
    std::string imei;

    // {"type":...,"software":...,"special":...,"hardware":...,"imei":...};
    // a field the unit left empty is null.
    JsonLine json() const;
};

// One entry that reads back other than it was sent.
struct EntryDifference {
    int entry = 0;          // 1..200
    std::string field;      // "text" or "number"
    std::string sent;
    std::string read;

    // {"entry":37,"field":"text","sent":"Keuken","read":"Kelder"}
    JsonLine json() const;
    // The outcome of a read-back: {"ok":false,"differences":[...]}.
    static JsonLine verdict(bool ok, const std::vector<EntryDifference>& differences);
};

#endif
