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

// One entry that reads back other than it was sent; of a comparison
// (-compare), one the unit (or the other file) holds otherwise than the file.
struct EntryDifference {
    int entry = 0;          // 1..200
    std::string field;      // "text" or "number"
    std::string sent;       // the file's
    std::string read;       // the unit's, or the other file's
    std::string name;       // a comparison's: the field as the editor labels it, "" when unknown

    // {"entry":37,"field":"text","sent":"Keuken","read":"Kelder"}; of a
    // comparison {"entry":37,"part":"text","name":...,heldBy:read,"file":sent}.
    JsonLine json(const std::string& heldBy = "") const;
    // The outcome: {"ok":false,"differences":[...]}; heldBy "" for a
    // read-back, else the key of what the file was compared with ("unit").
    static JsonLine verdict(bool ok, const std::vector<EntryDifference>& differences, const std::string& heldBy = "");
};

#endif
