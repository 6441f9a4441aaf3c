#include "korprog/progctrl/Run/KvctrlValuesTable.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <set>

#include "korprog/WholeFile.h"
#include "korprog/progctrl/Data/AdnFile.h"
#include "korprog/progctrl/Data/SBEntry.h"
#include "korprog/progctrl/Data/SettingBin.h"

namespace {

std::string lower(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string trimmed(const std::string& s)
{
    const size_t from = s.find_first_not_of(" \t");
    if (from == std::string::npos) return "";
    return s.substr(from, s.find_last_not_of(" \t") - from + 1);
}

// "37.text" or "37.number"; entry 0 for any other name.
KvctrlValuesTable::Part partNamed(const std::string& name)
{
    KvctrlValuesTable::Part p;
    const size_t dot = name.find('.');
    if (dot == std::string::npos || dot == 0 || dot > 3) return p;
    for (size_t k = 0; k < dot; ++k)
        if (!std::isdigit(static_cast<unsigned char>(name[k]))) return p;
    const std::string part = lower(name.substr(dot + 1));
    if (part != "text" && part != "number") return p;
    p.entry = std::stoi(name.substr(0, dot));
    p.list = part == "text" ? 'T' : 'N';
    return p;
}

// The label of a layout row as the table has it, before translation.
std::string labelOf(const std::string& line)
{
    size_t at = 0;
    for (int k = 0; k < 2; ++k) {
        at = line.find(';', at);
        if (at == std::string::npos) return "";
        ++at;
    }
    return line.substr(at, line.find(';', at) - at);
}

bool refuse(std::string* why, const std::string& text)
{
    *why = text;
    return false;
}

bool allEmpty(const std::vector<std::string>& fields)
{
    return std::all_of(fields.begin(), fields.end(), [](const std::string& f) { return f.empty(); });
}

}  // namespace

std::string KvctrlValuesTable::name(const Part& part)
{
    return "entry " + std::to_string(part.entry) + (part.list == 'T' ? " text" : " number");
}

bool KvctrlValuesTable::load(const std::string& path, std::string* why)
{
    std::string text;
    int error = 0;
    if (!WholeFile::read(path, text, &error, MAX_FILE)) {
        *why = WholeFile::reason(error, MAX_FILE);
        return false;
    }
    return parse(text, why);
}

bool KvctrlValuesTable::parse(const std::string& text, std::string* why)
{
    *this = KvctrlValuesTable();
    std::vector<CsvFile::Record> records;
    if (!CsvFile::parse(text, &records, why)) return false;
    int imeiColumn = -1;
    const std::vector<std::string>& header = records[0].fields;
    for (size_t k = 0; k < header.size(); ++k) {
        const std::string column = trimmed(header[k]);
        if (lower(column) == "imei") {
            if (imeiColumn >= 0) return refuse(why, "it has two columns imei");
            imeiColumn = static_cast<int>(k);
            continue;
        }
        if (column.empty()) return refuse(why, "column " + std::to_string(k + 1) + " has no name");
        const Part p = partNamed(column);
        if (p.list && (p.entry < 1 || p.entry > SettingBin::MAX_ENTRIES - 1))
            return refuse(why, "column '" + column + "' names no entry (1 to 200)");
        // The unit's IMEI and IMSI are never sent: such a value would be lost.
        if (p.entry == SettingBin::IMEI_POS || p.entry == SettingBin::IMSI_POS)
            return refuse(why, "column '" + column + "': entry " + std::to_string(p.entry) + " is never programmed");
        _columns.push_back(column);
        _fixed.push_back(p);
    }
    if (_columns.empty()) return refuse(why, "it has no column of values");
    _byImei = imeiColumn >= 0;
    std::set<std::string> imeis;
    for (size_t r = 1; r < records.size(); ++r) {
        const CsvFile::Record& rec = records[r];
        if (allEmpty(rec.fields)) continue;
        Row row;
        row.number = rec.number;
        for (size_t k = 0; k < rec.fields.size(); ++k) {
            if (static_cast<int>(k) == imeiColumn)
                row.imei = trimmed(rec.fields[k]);
            else
                row.values.push_back(rec.fields[k]);
        }
        const std::string at = "row " + std::to_string(row.number);
        if (_byImei && row.imei.empty()) return refuse(why, at + " has no IMEI");
        if (_byImei && !imeis.insert(row.imei).second)
            return refuse(why, at + " has IMEI " + row.imei + " of an earlier row");
        _rows.push_back(std::move(row));
    }
    if (_rows.empty()) return refuse(why, "it has no rows below its header");
    return true;
}

const KvctrlValuesTable::Row* KvctrlValuesTable::rowFor(const std::string& imei) const
{
    for (const Row& r : _rows)
        if (!imei.empty() && r.imei == imei) return &r;
    return nullptr;
}

bool KvctrlValuesTable::partsFor(const char* korType, const char* special, std::vector<Part>* parts,
                                 std::string* why) const
{
    parts->clear();
    std::vector<std::string> layout;
    {
        std::ifstream table(SettingBin::LAYOUT_TABLE);
        for (std::string line; std::getline(table, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            layout.push_back(line);
        }
    }
    for (size_t k = 0; k < _columns.size(); ++k) {
        Part p = _fixed[k];
        if (!p.list) {
            // Looked up as the editor selects its rows for this type.
            std::vector<Part> found;
            for (const std::string& line : layout) {
                if (labelOf(line) != _columns[k]) continue;
                const SBEntry row(line.c_str(), korType, special);
                const Part q{row.entry(), row.list()};
                if (row.entryType() != SBEntry::INVALID_TYPE && std::find(found.begin(), found.end(), q) == found.end())
                    found.push_back(q);
            }
            const std::string of = std::string("a ") + (korType && *korType ? korType : "unit of unknown type");
            if (found.empty())
                return refuse(why, "column '" + _columns[k] + "' names no field of " + of + " in config.csv");
            if (found.size() > 1)
                return refuse(why, "column '" + _columns[k] + "' names more than one field of " + of + " (" +
                              name(found[0]) + ", " + name(found[1]) + ")");
            p = found[0];
        }
        for (size_t j = 0; j < parts->size(); ++j)
            if ((*parts)[j] == p)
                return refuse(why, "columns '" + _columns[j] + "' and '" + _columns[k] + "' both set " + name(p));
        parts->push_back(p);
    }
    return true;
}

std::string KvctrlValuesTable::valueFault(const Part& part, const std::string& value)
{
    const bool text = part.list == 'T';
    const size_t room = text ? SettingBin::MAX_TEXT_EXT : SettingBin::MAX_NRS;
    if (value.size() > room)
        return "is longer than " + std::to_string(room) + " characters";
    for (const char c : value) {
        if (c == '\n' || c == '\r') return "holds a line break";
        // '|' would end the text part in the settings file.
        if (text && c == '|') return "holds a '|' in its text, which no setting can carry";
        const std::string fault = AdnFile::characterFault(c, !text);
        if (!fault.empty()) return fault;
    }
    return "";
}
