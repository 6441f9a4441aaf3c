#include "korprog/runlog/JsonLine.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "korprog/Utf8.h"

std::string JsonLine::quote(const std::string& s)
{
    std::string out = "\"";
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        const size_t n = c >= 0x80 ? Utf8::sequenceAt(s, i) : 0;
        if (n > 0) {
            out.append(s, i, n);
            i += n;
            continue;
        }
        char esc[8];
        std::snprintf(esc, sizeof esc, "\\u%04x", c);
        out += esc;
        ++i;
    }
    return out + "\"";
}

std::string JsonLine::number(double value)
{
    if (!std::isfinite(value)) return "null";
    char buf[32];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

std::string JsonLine::isoTime(int64_t msSinceEpoch)
{
    int64_t secs = msSinceEpoch / 1000, ms = msSinceEpoch % 1000;
    if (ms < 0) {
        ms += 1000;
        --secs;
    }
    const time_t t = static_cast<time_t>(secs);
    struct tm tm;
    char buf[48];
    if (!::gmtime_r(&t, &tm)) return "1970-01-01T00:00:00.000Z";
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms));
    return buf;
}

int64_t JsonLine::wallClockMs()
{
    struct timespec ts;
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void JsonLine::key(const char* k)
{
    if (!_body.empty()) _body += ',';
    _body += quote(k);
    _body += ':';
}

JsonLine& JsonLine::str(const char* k, const std::string& value)
{
    key(k);
    _body += quote(value);
    return *this;
}

JsonLine& JsonLine::strOrNull(const char* k, const std::string& value)
{
    return value.empty() ? null(k) : str(k, value);
}

JsonLine& JsonLine::num(const char* k, int64_t value)
{
    key(k);
    _body += std::to_string(value);
    return *this;
}

JsonLine& JsonLine::real(const char* k, double value)
{
    key(k);
    _body += number(value);
    return *this;
}

JsonLine& JsonLine::flag(const char* k, bool value)
{
    key(k);
    _body += value ? "true" : "false";
    return *this;
}

JsonLine& JsonLine::null(const char* k)
{
    key(k);
    _body += "null";
    return *this;
}

JsonLine& JsonLine::object(const char* k, const JsonLine& value)
{
    key(k);
    _body += value.text();
    return *this;
}

JsonLine& JsonLine::strings(const char* k, const std::vector<std::string>& values)
{
    key(k);
    _body += '[';
    for (size_t i = 0; i < values.size(); ++i) _body += (i ? "," : "") + quote(values[i]);
    _body += ']';
    return *this;
}

JsonLine& JsonLine::objects(const char* k, const std::vector<JsonLine>& values)
{
    key(k);
    _body += '[';
    for (size_t i = 0; i < values.size(); ++i) _body += (i ? "," : "") + values[i].text();
    _body += ']';
    return *this;
}

JsonLine& JsonLine::members(const JsonLine& other)
{
    if (!_body.empty() && !other._body.empty()) _body += ',';
    _body += other._body;
    return *this;
}

std::string JsonLine::text() const
{
    return "{" + _body + "}";
}

std::string JsonLine::line() const
{
    return text() + "\n";
}
