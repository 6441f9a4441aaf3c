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

JsonLine EntryDifference::json() const
{
    JsonLine j;
    j.num("entry", entry).str("field", field).str("sent", sent).str("read", read);
    return j;
}

JsonLine EntryDifference::verdict(bool ok, const std::vector<EntryDifference>& differences)
{
    std::vector<JsonLine> d;
    for (const EntryDifference& e : differences) d.push_back(e.json());
    JsonLine j;
    j.flag("ok", ok).objects("differences", d);
    return j;
}
