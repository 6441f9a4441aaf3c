// A batch's values table (-values UNITS.csv) from anywhere: a file someone
// else's tool wrote. A table taken has values in UTF-8, as many in every row
// as it has value columns, rows in rising order and, by IMEI, one row per
// IMEI; written back with quotes where a field needs them, it reads as the
// same table.

#include <set>

#include "fuzz/support/FuzzKit.h"
#include "korprog/CsvFile.h"
#include "korprog/Utf8.h"
#include "korprog/progctrl/Run/KvctrlValuesTable.h"

using namespace fuzzkit;

namespace {

std::string quoted(const std::string& s)
{
    std::string q = "\"";
    for (const char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    KvctrlValuesTable t;
    std::string why;
    if (!t.parse(text, &why)) {
        if (why.empty()) fail("a table refused without a reason");
        return 0;
    }
    std::vector<CsvFile::Record> records;
    if (!CsvFile::parse(text, &records, &why)) fail("the table reads, its records do not: " + why);
    const size_t columns = records[0].fields.size() - (t.byImei() ? 1 : 0);
    int last = 0;
    std::set<std::string> imeis;
    for (const KvctrlValuesTable::Row& r : t.rows()) {
        if (r.values.size() != columns) fail("a row with another number of values than columns");
        if (r.number <= last) fail("rows out of order");
        last = r.number;
        for (const std::string& v : r.values)
            if (!Utf8::valid(v)) fail("a value that is no UTF-8");
        if (t.byImei() && (r.imei.empty() || !imeis.insert(r.imei).second)) fail("an IMEI missing or twice");
    }
    // Written back in UTF-8, every field quoted.
    std::string again;
    for (const CsvFile::Record& rec : records) {
        for (size_t k = 0; k < rec.fields.size(); ++k) again += (k ? "," : "") + quoted(rec.fields[k]);
        again += "\n";
    }
    std::vector<CsvFile::Record> back;
    if (!CsvFile::parse(again, &back, &why)) fail("written back, it is refused: " + why);
    if (back.size() != records.size()) fail("written back, it has another number of records");
    for (size_t k = 0; k < back.size(); ++k)
        if (back[k].fields != records[k].fields) fail("written back, record " + std::to_string(k) + " reads otherwise");
    return 0;
}
