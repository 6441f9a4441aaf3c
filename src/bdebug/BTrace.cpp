#include "bdebug/BTrace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sstream>
#include <vector>

#include "helm/BScheduler.h"

BTrace* BTrace::_trace = nullptr;
std::string* BTrace::_capture = nullptr;

BTrace::BTrace() : _toStderr(std::getenv("KORPROG_TRACE_STDERR") != nullptr) {}
BTrace::~BTrace() = default;

BTrace* BTrace::instance()
{
    if (!_trace) {
        static bool atExitSet = false;
        if (!atExitSet) {
            std::atexit(&BTrace::destroy);
            atExitSet = true;
        }
        _trace = new BTrace();
    }
    return _trace;
}

void BTrace::destroy()
{
    delete _trace;
    _trace = nullptr;
}

const char* BTrace::timeStamp()
{
    static char buf[64];
    std::time_t now = std::time(nullptr);
    std::tm tmv{};
    localtime_r(&now, &tmv);
    std::snprintf(buf, sizeof buf, "%d/%02d/%02d/%02d:%02d:%02d", tmv.tm_year + 1900, tmv.tm_mon + 1,
                  tmv.tm_mday, tmv.tm_hour, tmv.tm_min, tmv.tm_sec);
    return buf;
}

void BTrace::writeDebugStream(const std::string& text)
{
    if (_capture) _capture->append(text);
    if (_toStderr) std::fputs(text.c_str(), stderr);
}

void BTrace::dbgPrint(const std::string& text, bool withTimeStamp, bool withNewline)
{
    std::string out;
    if (withTimeStamp) {
        out += timeStamp();
        out += ';';
    }
    out += text;
    if (withNewline) out += '\n';
    writeDebugStream(out);
}

void BTrace::dbgPrintf(const char* format, ...)
{
    char buf[1024];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    dbgPrint(buf, true, true);
}

void BTrace::registerRootState(bool, BRootState*) {}

void BTrace::assertReport(const char* file, int line, const char* expr, const std::string& msg)
{
    std::string out = std::string(file) + " " + std::to_string(line) + "\n" + "Assertion failed: " + expr + " " + msg + "\n";
    instance()->writeDebugStream(out);
}

void BTrace::errorReport(const char* file, int line, const std::string& msg)
{
    char head[2300];
    std::snprintf(head, sizeof head, "%s %s %d\n", timeStamp(), file, line);
    instance()->writeDebugStream(std::string(head) + "Exception: " + msg + "\n");
}

void BTrace::procDbgStr(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(&w[0]);
    if (!argv.empty() && words[0] == "helm") BScheduler::helmProcDbgStr(int(argv.size()), argv.data());
}

bool BTrace::reRouteEvent(BEvent*, ModuleId, ComponentId) { return false; }

void BTrace::fatal(const std::string& text) { dbgPrint("Fatal: " + text, true, true); }

void BTrace::logReport(const char* file, int line, const std::string& text)
{
    char head[2300];
    std::snprintf(head, sizeof head, "%s;%s %d ", timeStamp(), file, line);
    writeDebugStream(std::string(head) + text + "\n");
}
