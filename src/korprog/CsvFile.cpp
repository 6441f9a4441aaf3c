#include "korprog/CsvFile.h"

#include "korprog/Utf8.h"

namespace {

class Parser {
public:
    explicit Parser(std::vector<CsvFile::Record>* out) : _out(out) {}

    bool run(const std::string& s, std::string* why)
    {
        for (size_t i = 0; i < s.size(); ++i) {
            const char c = s[i];
            if (c == '\0') return fail(why, "holds a NUL byte");
            if (_quoted) {
                if (c != '"') _field += c;
                else if (i + 1 < s.size() && s[i + 1] == '"') _field += '"', ++i;
                else _quoted = false, _closed = true;
                continue;
            }
            if (c == ',') {
                endField();
            } else if (c == '\n' || (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n')) {
                if (c == '\r') ++i;
                if (!endRecord(why)) return false;
            } else if (_closed) {
                return fail(why, "has text after the closing '\"' of a field");
            } else if (c == '"') {
                if (!_field.empty()) return fail(why, "has a '\"' inside a field that does not begin with one");
                _quoted = true;
            } else {
                _field += c;
            }
        }
        if (_quoted) return fail(why, "has a field whose '\"' is never closed");
        // The last record may lack its line end.
        if (!_fields.empty() || !_field.empty() || _closed) return endRecord(why);
        return true;
    }

private:
    void endField()
    {
        _fields.push_back(_field);
        _field.clear();
        _closed = false;
    }
    bool endRecord(std::string* why)
    {
        const bool emptyLine = _fields.empty() && _field.empty() && !_closed;
        if (!emptyLine) {
            endField();
            const size_t header = _out->empty() ? _fields.size() : _out->front().fields.size();
            if (_fields.size() != header)
                return fail(why, "has " + std::to_string(_fields.size()) + " fields, the header " + std::to_string(header));
            _out->push_back({_number, _fields});
        }
        _fields.clear();
        // An empty line before the header is no header.
        if (!(emptyLine && _out->empty())) ++_number;
        return true;
    }
    bool fail(std::string* why, const std::string& what)
    {
        *why = (_number == 0 ? std::string("the header") : "row " + std::to_string(_number)) + " " + what;
        return false;
    }

    std::vector<CsvFile::Record>* _out;
    std::vector<std::string> _fields;
    std::string _field;
    bool _quoted = false;
    bool _closed = false;  // the field's closing quote was read
    int _number = 0;
};

}  // namespace

std::string CsvFile::latin1ToUtf8(const std::string& s)
{
    std::string out;
    for (const char ch : s) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

bool CsvFile::utf8ToLatin1(const std::string& s, std::string* out)
{
    out->clear();
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            *out += s[i];
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < s.size()) {
            *out += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(s[++i]) & 0x3F));
        } else {
            return false;
        }
    }
    return true;
}

bool CsvFile::parse(const std::string& text, std::vector<Record>* records, std::string* why)
{
    records->clear();
    std::string s = text;
    if (Utf8::valid(s)) {
        if (s.compare(0, 3, "\xEF\xBB\xBF") == 0) s.erase(0, 3);
    } else {
        s = latin1ToUtf8(s);
    }
    Parser parser(records);
    if (!parser.run(s, why)) return false;
    if (records->empty()) {
        *why = "it has no header";
        return false;
    }
    return true;
}
