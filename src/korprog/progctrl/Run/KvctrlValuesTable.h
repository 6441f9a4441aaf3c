#ifndef KORPROG_PROGCTRL_RUN_KVCTRLVALUESTABLE_H
#define KORPROG_PROGCTRL_RUN_KVCTRLVALUESTABLE_H

#include <cstdint>
#include <string>
#include <vector>

#include "korprog/CsvFile.h"

// The values of a batch (-values UNITS.csv): one row per unit, one column
// per part of an entry that each unit gets its own value for. A column is
// named "37.text" or "37.number" (entry 1 to 200), or by a field's label in
// the editor layout (config.csv), which is looked up for the type of the
// unit at hand. An optional column "imei" ties every row to one unit; rows
// without it are taken in their order. Rows whose every field is empty are
// no rows (spreadsheets leave such lines at the end).
class KvctrlValuesTable {
public:
    static constexpr uintmax_t MAX_FILE = 4 * 1024 * 1024;

    // One part of one entry: list 'T' the text, 'N' the number.
    struct Part {
        int entry = 0;
        char list = 0;
        bool operator==(const Part& o) const { return entry == o.entry && list == o.list; }
    };
    struct Row {
        int number = 0;  // 1 is the first row below the header
        std::string imei;
        std::vector<std::string> values;  // one per value column, in UTF-8
    };

    // Reads and checks the table; false with why (without the path).
    bool load(const std::string& path, std::string* why);
    // The same from the file's bytes.
    bool parse(const std::string& text, std::string* why);

    bool byImei() const { return _byImei; }
    const std::vector<Row>& rows() const { return _rows; }
    // The row of the unit with this IMEI; null when there is none.
    const Row* rowFor(const std::string& imei) const;

    // The parts the value columns set on a unit of this type and special
    // build, in the columns' order; false with why when a label names no
    // field of the type, or several, or two columns set one part.
    bool partsFor(const char* korType, const char* special, std::vector<Part>* parts, std::string* why) const;

    // Why a value cannot go into the part as the settings file's checks
    // have it (too long, a '"', a ';' or '/' in a text, a line break); ""
    // when it can. The value is in the settings' character set.
    static std::string valueFault(const Part& part, const std::string& value);
    // "entry 37 text"
    static std::string name(const Part& part);

private:
    std::vector<std::string> _columns;  // the value columns' names
    std::vector<Part> _fixed;           // their parts; entry 0 for a label
    std::vector<Row> _rows;
    bool _byImei = false;
};

#endif
