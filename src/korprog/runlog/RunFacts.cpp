#include "korprog/runlog/RunFacts.h"

JsonLine UnitIdentity::json() const
{
    JsonLine j;
    j.strOrNull("type", type)
        .strOrNull("software", software)
        .strOrNull("special", special)
        .strOrNull("hardware", hardware)
        .strOrNull("imei", imei);
    return j;
}

JsonLine EntryDifference::json(const std::string& heldBy) const
{
    JsonLine j;
    if (heldBy.empty())
        j.num("entry", entry).str("field", field).str("sent", sent).str("read", read);
    else
        j.num("entry", entry).str("part", field).strOrNull("name", name).str(heldBy.c_str(), read).str("file", sent);
    return j;
}

JsonLine EntryDifference::verdict(bool ok, const std::vector<EntryDifference>& differences, const std::string& heldBy)
{
    std::vector<JsonLine> d;
    for (const EntryDifference& e : differences) d.push_back(e.json(heldBy));
    JsonLine j;
    j.flag("ok", ok).objects("differences", d);
    return j;
}
