#include "bdebug/BTrace.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "bdebug/BException.h"
#include "bdebug/BTraceQueueRoot.h"
#include "helm/BEvent.h"
#include "helm/BEvtQueue.h"
#include "helm/BRootState.h"

BTrace* BTrace::_trace = nullptr;
std::string* BTrace::_capture = nullptr;
char BTrace::_timeStamp[64];
char BTrace::_dbgbuff[1024];
BClientSocketStream BTrace::debugSocketStream;
FILE* BTrace::noticeOut = stdout;
std::string BTrace::debugInputBuffer;

BTrace::BTrace()
    : _traceQueueOwner(nullptr),
      _logFileName("dbgTrace.log"),
      _commandsFile("dbgTraceCommands.txt"),
      _toStderr(std::getenv("KORPROG_TRACE_STDERR") != nullptr)
{
    for (const DfltConfigTable* d = _dfltConfigTable; std::string(d->compCode) != "end"; ++d)
        _configTable.push_back(ConfigTable{d->compCode, d->mod, d->comp, d->dbgLvl, d->reRout, {}});
}

BTrace::~BTrace()
{
    // Releases whatever the trace queue still holds.
    delete _traceQueueOwner;
    _traceQueueOwner = nullptr;
    closeDbgLog();
}

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
    // Reports written while the instance goes away must not reach it.
    BTrace* t = _trace;
    _trace = nullptr;
    delete t;
}

const char* BTrace::timeStamp()
{
    std::time_t now = std::time(nullptr);
    std::tm tmv{};
    localtime_r(&now, &tmv);
    std::snprintf(_timeStamp, sizeof _timeStamp, "%d/%02d/%02d/%02d:%02d:%02d", tmv.tm_year + 1900, tmv.tm_mon + 1,
                  tmv.tm_mday, tmv.tm_hour, tmv.tm_min, tmv.tm_sec);
    return _timeStamp;
}

void BTrace::writeDebugStream(const std::string& text)
{
    if (_capture) _capture->append(text);
    if (_toStderr) std::fwrite(text.data(), 1, text.size(), stderr);
    debugSocketStream.send(text);
}

void BTrace::writeLogFile(const std::string& text)
{
    if (!_traceFileStr.is_open()) return;
    _traceFileStr << text;
    _traceFileStr.flush();
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
    writeLogFile(out);
}

void BTrace::dbgPrintf(const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(_dbgbuff, sizeof _dbgbuff, format, ap);
    va_end(ap);
    dbgPrint(_dbgbuff, true, true);
}

void BTrace::prtDataArray(const uint8_t* bytes, size_t count, bool hex, bool split)
{
    if (!bytes) count = 0;
    const size_t lineLen = split ? size_t(SPLIT_LINE) : count;
    size_t lines = lineLen ? count / lineLen + (count % lineLen ? 1 : 0) : 0;
    if (lines == 0) lines = 1;
    std::string out;
    char cell[8];
    for (size_t l = 0; l < lines; ++l) {
        if (l) out += '\n';
        out += '[';
        const size_t end = std::min(count, (l + 1) * lineLen);
        for (size_t i = l * lineLen; i < end; ++i) {
            const uint8_t b = bytes[i];
            if (hex) std::snprintf(cell, sizeof cell, "%02X ", unsigned(b));
            else if (b >= 0x20 && b <= 0x7E) std::snprintf(cell, sizeof cell, "%c", char(b));
            else std::snprintf(cell, sizeof cell, "~%02x~", unsigned(b));
            out += cell;
        }
        out += ']';
    }
    dbgPrint(out, false, true);
}

void BTrace::prtDataArray(const std::string& bytes, bool hex)
{
    prtDataArray(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), hex, false);
}

void BTrace::prtDataArray(const std::vector<uint8_t>& bytes, bool hex)
{
    prtDataArray(bytes.data(), bytes.size(), hex, false);
}

void BTrace::addRoot(std::vector<BRootState*>& roots, BRootState* root)
{
    if (std::find(roots.begin(), roots.end(), root) == roots.end()) roots.push_back(root);
}

// ---- configuration table ----

int BTrace::findIndex(const std::string& rawName)
{
    const size_t start = rawName.find_first_not_of(' ');
    const std::string name = start == std::string::npos ? std::string() : rawName.substr(start);
    if (name.empty()) return -1;  // the unnamed rows are found by their ids only
    int first = -1;
    for (size_t i = 0; i < _configTable.size(); ++i) {
        if (_configTable[i].name == name) {
            first = int(i);
            break;
        }
    }
    // A placeholder left next to the component's own entry is stale.
    if (first >= 0 && !_configTable[first].isPlaceholder() && name != "helm" && name != "help") {
        _configTable.erase(std::remove_if(_configTable.begin() + first + 1, _configTable.end(),
                                          [&](const ConfigTable& e) { return e.name == name && e.isPlaceholder(); }),
                           _configTable.end());
    }
    return first;
}

int BTrace::findIndex(ModuleId mod, ComponentId comp) const
{
    if (mod == 0 && comp == 0) return -1;  // would find placeholders, not components
    for (size_t i = 0; i < _configTable.size(); ++i)
        if (_configTable[i].mod == mod && _configTable[i].comp == comp) return int(i);
    return -1;
}

int BTrace::findIndex(const std::string& name, ModuleId mod, ComponentId comp) const
{
    for (size_t i = 0; i < _configTable.size(); ++i) {
        const ConfigTable& e = _configTable[i];
        if (e.name == name && e.mod == mod && e.comp == comp) return int(i);
    }
    return -1;
}

ConfigTable* BTrace::findComponent(const std::string& name)
{
    const int i = findIndex(name);
    return i < 0 ? nullptr : &_configTable[i];
}

ConfigTable* BTrace::findComponent(const std::string& name, ModuleId mod, ComponentId comp)
{
    const int i = findIndex(name, mod, comp);
    return i < 0 ? nullptr : &_configTable[i];
}

ConfigTable* BTrace::findComponent(ModuleId mod, ComponentId comp)
{
    const int i = findIndex(mod, comp);
    return i < 0 ? nullptr : &_configTable[i];
}

BRootState* BTrace::findInstance(const std::string& name, const std::string& instName)
{
    const int i = findIndex(name);
    if (i < 0) return nullptr;
    for (BRootState* r : _configTable[i].roots)
        if (r->instName() == instName) return r;
    return nullptr;
}

void BTrace::sortConfigTable()
{
    // Stable: a placeholder stays behind the entry of the same name.
    std::stable_sort(_configTable.begin(), _configTable.end(),
                     [](const ConfigTable& a, const ConfigTable& b) { return a.name < b.name; });
}

unsigned BTrace::traceQueueCount() const
{
    return _traceQueueOwner ? _traceQueueOwner->queue()->count() : 0u;
}

void BTrace::applyLevel(ConfigTable& entry)
{
    for (BRootState* r : entry.roots) r->debugLevel(entry.dbgLvl);
}

void BTrace::setDbgLvlAll(DebugLevel level)
{
    for (ConfigTable& e : _configTable) e.dbgLvl = level ? DebugLevel(level | e.dbgLvl) : DebugLevel(0);
    // Every root is also listed under "helm"; it takes its own entry's level,
    // whatever the order of the table.
    for (ConfigTable& e : _configTable)
        if (e.name != "helm") applyLevel(e);
}

void BTrace::registerRootState(bool doRegister, BRootState* root)
{
    if (!root) return;
    if (!doRegister) {
        for (ConfigTable& e : _configTable) e.roots.erase(std::remove(e.roots.begin(), e.roots.end(), root), e.roots.end());
        return;
    }
    const std::string name = root->name() ? root->name() : "";
    const ModuleId mod = root->moduleId();
    const ComponentId comp = root->componentId();

    const int helm = findIndex("helm");
    if (helm < 0) assertReport(__FILE__, __LINE__, "helmCfgTbl != NULL", "\"helm\" entry not in debug table");
    else addRoot(_configTable[helm].roots, root);

    // The name look-up first: it may drop a stale placeholder and so move
    // the positions the other look-ups return.
    int n = findIndex(name);
    int a = findIndex(mod, comp);
    int f = findIndex(name, mod, comp);
    const bool nIsPlaceholder = n >= 0 && _configTable[n].isPlaceholder() && n != helm;

    int chosen = -1;
    auto takeOver = [&](int target) {
        // The target takes the placeholder's name and level; the placeholder goes.
        _configTable[target].name = _configTable[n].name;
        _configTable[target].dbgLvl = _configTable[n].dbgLvl;
        _configTable.erase(_configTable.begin() + n);
        return target > n ? target - 1 : target;
    };
    if (a >= 0 && _configTable[a].name.empty() && nIsPlaceholder && f < 0) chosen = takeOver(a);
    else if (nIsPlaceholder && f >= 0) chosen = takeOver(f);
    else if (nIsPlaceholder) chosen = n;
    else chosen = a;

    if (chosen >= 0) {
        ConfigTable& e = _configTable[chosen];
        e.name = name;
        e.mod = mod;
        e.comp = comp;
        addRoot(e.roots, root);
        root->debugLevel(e.dbgLvl);
    } else {
        _configTable.push_back(ConfigTable{name, mod, comp, 0, NO_RERT, {root}});
        root->debugLevel(0);
    }
}

// ---- re-routing ----

bool BTrace::reRouteEvent(BEvent* event, ModuleId mod, ComponentId comp)
{
    if (!event) return false;
    const int i = findIndex(mod, comp);
    if (i < 0) return false;
    const ReRoutType mode = _configTable[i].reRout;
    if (mode == RERT_QUEUE || mode == RERT_BYPASS) {
        if (!_traceQueueOwner) _traceQueueOwner = new BTraceQueueRoot();
        _traceQueueOwner->post(event);
    }
    // RERT_NULL: the send releases the sender's reference itself; releasing
    // it here as well would delete the event twice.
    return mode == RERT_QUEUE || mode == RERT_NULL;
}

// ---- outputs ----

bool BTrace::connectDebugStream(const std::string& address, int port)
{
    // Without "-remdbg" no socket is created at all.
    if (port == 0 || address.empty()) return false;
    return debugSocketStream.connect(address, port);
}

void BTrace::disconnectDebugStream() { debugSocketStream.disconnect(); }

void BTrace::parseDebugStream()
{
    // Every receive replaces the buffer: what is left of an earlier block
    // is never run, connected or not.
    debugInputBuffer.clear();
    if (debugSocketStream.recv(debugInputBuffer) <= 0) return;
    const size_t end = debugInputBuffer.find("\r\n");
    if (end == std::string::npos) return;
    const std::string command = debugInputBuffer.substr(0, end);
    const std::string echo = "command: [" + command + "]\n";
    std::fwrite(echo.data(), 1, echo.size(), noticeOut);
    std::fflush(noticeOut);
    instance()->procDbgStr(command);
    debugInputBuffer.erase(0, end + 2);
}

bool BTrace::openDbgLog()
{
    closeDbgLog();
    _traceFileStr.open(_logFileName, std::ios::out | std::ios::trunc);
    return _traceFileStr.is_open();
}

void BTrace::closeDbgLog()
{
    if (_traceFileStr.is_open()) _traceFileStr.close();
    _traceFileStr.clear();
}

void BTrace::fatal(const std::string& text) { BException::exception(BException::EXC_FATAL, "Fatal: " + text); }

void BTrace::logReport(const char* file, int line, const std::string& text)
{
    char head[2300];
    std::snprintf(head, sizeof head, "%s;%s %d ", timeStamp(), file ? file : "", line);
    const std::string out = std::string(head) + text + "\n";
    writeDebugStream(out);
    writeLogFile(out);
}

void BTrace::assertReport(const char* file, int line, const char* expr, const std::string& msg)
{
    instance()->writeDebugStream(std::string(file ? file : "") + " " + std::to_string(line) + "\n" +
                                 "Assertion failed: " + (expr ? expr : "") + " " + msg + "\n");
}

void BTrace::errorReport(const char* file, int line, const std::string& msg)
{
    char head[2300];
    std::snprintf(head, sizeof head, "%s %s %d\n", timeStamp(), file ? file : "", line);
    const std::string out = std::string(head) + "Exception: " + msg + "\n";
    BTrace* t = instance();
    t->writeDebugStream(out);
    t->writeLogFile(out);
}
