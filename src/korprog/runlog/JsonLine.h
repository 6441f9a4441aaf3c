#ifndef KORPROG_RUNLOG_JSONLINE_H
#define KORPROG_RUNLOG_JSONLINE_H

#include <cstdint>
#include <string>
#include <vector>

// One JSON object written out as one line, keys in the order they are
// added. Every string is escaped so that the line is valid JSON whatever
// bytes it holds: quote and backslash escaped, control characters as
// \u00XX, and each byte that is not part of valid UTF-8 as \u00XX of that
// byte (a Latin-1 "é" from an old settings file reads as "é" too). Numbers
// that JSON cannot hold (NaN, infinities) are written as null.
class JsonLine {
public:
    JsonLine& str(const char* key, const std::string& value);
    // An empty value is written as null: "not known" or "not in this run".
    JsonLine& strOrNull(const char* key, const std::string& value);
    JsonLine& num(const char* key, int64_t value);
    JsonLine& real(const char* key, double value);
    JsonLine& flag(const char* key, bool value);
    JsonLine& null(const char* key);
    JsonLine& object(const char* key, const JsonLine& value);
    JsonLine& strings(const char* key, const std::vector<std::string>& values);
    JsonLine& objects(const char* key, const std::vector<JsonLine>& values);
    // other's members after these, as if added here.
    JsonLine& members(const JsonLine& other);

    // The object, without a line end.
    std::string text() const;
    // The object and "\n": one JSON Lines record.
    std::string line() const;

    // s as a JSON string, quotes included.
    static std::string quote(const std::string& s);
    // The shortest text that reads back as exactly value; null for NaN and
    // the infinities. The same in every locale (never a decimal comma).
    static std::string number(double value);
    // Wall-clock time as ISO 8601 UTC with milliseconds, for example
    // "2026-12-08T23:14:05.123Z": events of one second stay in order.
    static std::string isoTime(int64_t msSinceEpoch);
    // Milliseconds since the epoch, now.
    static int64_t wallClockMs();

private:
    void key(const char* k);

    std::string _body; // members so far, without the braces
};

#endif
