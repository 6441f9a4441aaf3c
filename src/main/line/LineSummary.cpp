#include "main/line/LineSummary.h"

#include <algorithm>
#include <cstdio>

#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/Translated.h"
#include "korprog/runlog/JsonLine.h"

namespace {

// Columns are as wide as their widest cell; UTF-8 continuation bytes take
// no room of their own.
size_t width(const std::string& s)
{
    return static_cast<size_t>(std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string result(const LineUnit& u)
{
    return u.exitCode() == 0 ? gettext("gelukt", 0) : Translated::message("mislukt (%d)", u.exitCode());
}

std::string seconds(double s)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", s);
    return text;
}

} // namespace

std::string LineSummary::table(const std::vector<LineUnit>& units)
{
    std::vector<std::vector<std::string>> rows;
    rows.push_back({gettext("Poort", 0), gettext("Type", 0), "IMEI", gettext("Resultaat", 0), gettext("Tijd", 0)});
    int ok = 0;
    for (const LineUnit& u : units) {
        rows.push_back({u.name(), u.type().empty() ? "-" : u.type(), u.imei().empty() ? "-" : u.imei(), result(u),
                        seconds(u.seconds()), u.exitCode() == 0 ? "" : u.reason()});
        ok += u.exitCode() == 0;
    }
    std::vector<size_t> widths(5, 0);
    for (const auto& row : rows)
        for (size_t c = 0; c < widths.size(); ++c) widths[c] = std::max(widths[c], width(row[c]));
    std::string text;
    for (const auto& row : rows) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size()) line += std::string(c < widths.size() ? widths[c] - width(row[c]) + 2 : 2, ' ');
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        text += line + "\n";
    }
    return text + Translated::message("%d van %d gelukt", ok, static_cast<int>(units.size())) + "\n";
}

std::string LineSummary::event(const std::vector<LineUnit>& units)
{
    std::vector<JsonLine> rows;
    for (const LineUnit& u : units) {
        JsonLine j;
        j.str("port", u.port()).strOrNull("type", u.type()).strOrNull("imei", u.imei());
        j.str("result", u.exitCode() == 0 ? "ok" : "failed").num("exit", u.exitCode());
        j.strOrNull("reason", u.exitCode() == 0 ? "" : u.reason()).real("duration_s", u.seconds());
        rows.push_back(j);
    }
    const int code = exitCode(units);
    JsonLine line;
    line.str("event", "summary").str("time", JsonLine::isoTime(JsonLine::wallClockMs()));
    line.objects("units", rows).str("result", code == 0 ? "ok" : "failed").num("exit", code);
    return line.line();
}

int LineSummary::exitCode(const std::vector<LineUnit>& units)
{
    for (const LineUnit& u : units)
        if (u.exitCode() != 0) return u.exitCode();
    return 0;
}
