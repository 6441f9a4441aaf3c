#ifndef MAIN_LINE_LINESUMMARY_H
#define MAIN_LINE_LINESUMMARY_H

#include <string>
#include <vector>

#include "main/line/LineUnit.h"

// What a production line tells once every run has ended: for a person a
// table, one row per port in the order given (port, unit type, IMEI,
// result, time, and why a run failed); for a script the code to end with
// and, with -json, one "summary" event.
class LineSummary {
public:
    static std::string table(const std::vector<LineUnit>& units);
    // {"event":"summary","time":...,"units":[...],"result":...,"exit":...} and "\n"
    static std::string event(const std::vector<LineUnit>& units);
    // 0 when every run succeeded, else the code of the first that failed,
    // in the order of the ports.
    static int exitCode(const std::vector<LineUnit>& units);
};

#endif
