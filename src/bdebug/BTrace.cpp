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
#include "helm/BScheduler.h"

BTrace* BTrace::_trace = nullptr;
std::string* BTrace::_capture = nullptr;
char BTrace::_timeStamp[64];
char BTrace::_dbgbuff[1024];
char BTrace::_cmdLineStr[256];
BClientSocketStream BTrace::debugSocketStream;
FILE* BTrace::noticeOut = stdout;
std::string BTrace::debugInputBuffer;

namespace {

// Level words of the command language: the word contains the key; the
// first key that matches wins, so longer keys come before their prefixes.
struct LevelKey {
    const char* key;
    DebugLevel bits;
};
const LevelKey g_levelKeys[] = {
    {"all", 0xFFFF}, {"msg", 0x000F}, {"sig", 0x0001},    {"dat", 0x0002}, {"sti", 0x0004},
    {"stt", 0x0188}, {"st", 0x000C},  {"entext", 0x0180}, {"ent", 0x0080}, {"ext", 0x0100},
    {"actbnd", 0x0200}, {"dbg", 0x0070}, {"hi", 0x0010},  {"med", 0x0020}, {"low", 0x0040},
};

const char* const g_helpText[] = {
    "Processes the trace debug string.",
    "       Commandine string. String may be interpreted in different ways:",
    "       - Print General Help.",
    "         Command \"help\"",
    "       - Set the trace debug level,",
    "         Command: \"xxxxx [yyyyy] lvl <level> [on|off]\" default on ",
    "         where xxxxx is rootstate component code.",
    "         optional where yyyyy is rootstate component instance name.",
    "         when xxxxx is \"all\" All comp dbg levels are set.  level can be:",
    "             - off   ( set debug level off )",
    "             - all   ( trace maximum )",
    "\n             - msg   ( sig | dat | st )",
    "             - sig   ( trace on signals )",
    "             - dat   ( trace on data in events )",
    "             - sti   ( trace internal state changes)",
    "             - stt   ( trace target state changes)",
    "             - st    ( trace all state changes)",
    "\n             - entext   ( ent | ext )",
    "             - ent   ( trace on entry state)",
    "             - ext   ( trace on exit state )",
    "             - actbnd  ( trace on activate bindings from childs )",
    "\n             - dbg   ( hi | med )",
    "             - hi    ( trace high importance )",
    "             - med   ( trace medium importance )",
    "             - low   ( trace low / many prints expect to occur )",
    "       - Print Helm internal data, command: \"helm help\"",
    "       - Print component state machine:",
    "             - helm prt ssm [-name <name>] [-instName <name>] [-mod <nr> -cmp <nr>]",
    "                   state machine data for specific state, one of above",
    "                   options between [...] may be used",
    "       - Print Internal State information.",
    "         Command: \"xxxxx [yyyyy] <help | all | bnd | [...]\"",
    "         following default commands exist:",
    "         - help, print data interface for specific component.",
    "         - all, print all data for specific component.",
    "         - bnd, will print all bindings to childs.",
    "       - Rerouting of Events.",
    "         Command: \"xxxxx rert <action>\", action can be:",
    "           - que  ( place event in Trace queue )",
    "           - byps ( place event in Trace queue and also send to state )",
    "           - null ( delete the event )",
    "           - none ( disable que, null or byps)",
};

// Splits at blanks; an argument that starts with a double quote runs to the
// next double quote, quotes removed and blanks kept.
std::vector<std::string> splitArgs(const char* line)
{
    std::vector<std::string> args;
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    const char* p = line;
    while (*p) {
        while (*p && blank(*p)) ++p;
        if (!*p) break;
        std::string arg;
        if (*p == '"') {
            ++p;
            while (*p && *p != '"') arg += *p++;
            if (*p == '"') ++p;
        } else {
            while (*p && !blank(*p)) arg += *p++;
        }
        args.push_back(arg);
    }
    return args;
}

// Position of `word` among the first `limit` arguments, or -1.
int argIndex(const std::vector<std::string>& args, const char* word, size_t limit)
{
    for (size_t i = 0; i < args.size() && i < limit; ++i)
        if (args[i] == word) return int(i);
    return -1;
}

// argv view of the arguments for the print operations of the states.
std::vector<char*> argvOf(std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    return argv;
}

void addRoot(std::vector<BRootState*>& roots, BRootState* root)
{
    if (std::find(roots.begin(), roots.end(), root) == roots.end()) roots.push_back(root);
}

}  // namespace

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

// ---- command language ----

void BTrace::procDbgStr(const std::string& line)
{
    if (!line.empty() && line[0] == '#') {
        dbgPrint(line);
        return;
    }
    std::snprintf(_cmdLineStr, sizeof _cmdLineStr, "%s", line.c_str());
    const std::vector<std::string> args = splitArgs(_cmdLineStr);
    if (args.size() < 2) {
        printHelp();
        return;
    }
    const bool all = args[0] == "all";
    const bool off = argIndex(args, "off", 5) >= 0;
    if (argIndex(args, "lvl", 3) >= 0) handleDbgLevel(all, args, !off);
    else if (argIndex(args, "rert", 3) >= 0) handleReRout(args);
    else if (args[0] == "helm") handleHelm(args);
    else handleComponentPrint(args);
}

void BTrace::printHelp()
{
    for (const char* l : g_helpText) dbgPrint(l);
    dbgPrint("Currently supported components:");
    sortConfigTable();
    char buf[200];
    for (const ConfigTable& e : _configTable) {
        std::snprintf(buf, sizeof buf, "        - \"%s\" mod=%d comp=%d lvl=0x%04X rert=%d states:", e.name.c_str(),
                      int(e.mod), int(e.comp), unsigned(e.dbgLvl), int(e.reRout));
        std::string out = buf;
        for (BRootState* r : e.roots) out += " " + r->instName();
        dbgPrint(out);
    }
}

void BTrace::handleDbgLevel(bool all, const std::vector<std::string>& args, bool on)
{
    const int lvl = argIndex(args, "lvl", 3);
    const std::string word = size_t(lvl + 1) < args.size() ? args[size_t(lvl + 1)] : std::string();
    bool matched = false;
    DebugLevel bits = 0;
    if (word == "off") {
        matched = true;
    } else {
        for (const LevelKey& k : g_levelKeys) {
            if (word.find(k.key) != std::string::npos) {
                bits = k.bits;
                matched = true;
                break;
            }
        }
    }
    if (!matched) {
        if (all && on) {
            bits = 0xFFFF;
        } else {
            dbgPrint("handleDbgLevel unexpected debug level \"" + word + "\"");
            return;
        }
    }
    auto changed = [&](DebugLevel current) -> DebugLevel {
        if (bits == 0) return 0;
        return on ? DebugLevel(current | bits) : DebugLevel(current & ~bits);
    };

    if (all) {
        if (on || bits == 0) {
            setDbgLvlAll(bits);
        } else {
            // "all lvl <bits> off" switches those bits off everywhere.
            for (ConfigTable& e : _configTable) e.dbgLvl = changed(e.dbgLvl);
            for (ConfigTable& e : _configTable)
                if (e.name != "helm") applyLevel(e);
        }
        return;
    }
    if (lvl == 0 || args[0].empty()) return;  // no component named

    if (lvl == 1) {
        if (ConfigTable* e = findComponent(args[0])) {
            e->dbgLvl = changed(e->dbgLvl);
            applyLevel(*e);
        } else {
            // Kept for a component that registers later.
            _configTable.push_back(ConfigTable{args[0], 0, 0, changed(0), NO_RERT, {}});
        }
        return;
    }
    if (BRootState* r = findInstance(args[0], args[1])) r->debugLevel(changed(r->debugLevel()));
}

void BTrace::handleReRout(const std::vector<std::string>& args)
{
    ConfigTable* e = findComponent(args[0]);
    if (!e || args.size() < 3) return;
    const std::string& mode = args[2];
    if (mode == "none") e->reRout = NO_RERT;
    else if (mode == "que") e->reRout = RERT_QUEUE;
    else if (mode == "null") e->reRout = RERT_NULL;
    else if (mode == "byps") e->reRout = RERT_BYPASS;
}

void BTrace::handleHelm(const std::vector<std::string>& constArgs)
{
    std::vector<std::string> args = constArgs;
    std::vector<char*> argv = argvOf(args);
    if (BScheduler::helmProcDbgStr(int(args.size()), argv.data())) return;
    if (std::find(args.begin(), args.end(), "ssm") != args.end()) {
        printStateMachines(args);
    } else if (args[1] == "ignrst") {
        if (args.size() > 2 && args[2] == "on") BException::_ignoreReset = true;
        else if (args.size() > 2 && args[2] == "off") BException::_ignoreReset = false;
        dbgPrint(std::string("ignoreReset=") + (BException::_ignoreReset ? "on" : "off"));
    } else {
        dbgPrint("helm: unknown action \"" + args[1] + "\", see \"helm help\"");
    }
}

void BTrace::printStateMachines(const std::vector<std::string>& constArgs)
{
    std::vector<std::string> args = constArgs;
    std::string name, inst;
    long mod = -1, cmp = -1;
    for (size_t i = 1; i + 1 < args.size(); ++i) {
        const std::string& opt = args[i];
        if (opt == "-name") name = args[++i];
        else if (opt == "-instname" || opt == "-instName") inst = args[++i];
        else if (opt == "-mod") mod = std::strtol(args[++i].c_str(), nullptr, 10);
        else if (opt == "-cmp") cmp = std::strtol(args[++i].c_str(), nullptr, 10);
    }
    std::vector<BRootState*> roots;
    for (const ConfigTable& e : _configTable)
        for (BRootState* r : e.roots) addRoot(roots, r);
    roots.erase(std::remove_if(roots.begin(), roots.end(),
                               [&](BRootState* r) {
                                   if (!name.empty() && name != r->name()) return true;
                                   if (!inst.empty() && inst != r->instName()) return true;
                                   if (mod >= 0 && long(r->moduleId()) != mod) return true;
                                   if (cmp >= 0 && long(r->componentId()) != cmp) return true;
                                   return false;
                               }),
                roots.end());
    std::stable_sort(roots.begin(), roots.end(),
                     [](BRootState* a, BRootState* b) { return std::string(a->name()) < std::string(b->name()); });
    std::vector<char*> argv = argvOf(args);
    for (BRootState* r : roots) {
        dbgPrint(std::string("\n\n================= RootState start") + r->name() + " =================");
        r->printData(int(args.size()), argv.data());
    }
}

void BTrace::handleComponentPrint(const std::vector<std::string>& constArgs)
{
    std::vector<std::string> args = constArgs;
    ConfigTable* e = findComponent(args[0]);
    if (!e) return;
    std::vector<char*> argv = argvOf(args);
    if (args.size() > 2) {
        if (BRootState* r = findInstance(args[0], args[1])) {
            r->printData(int(args.size()), argv.data());
            return;
        }
    }
    const std::vector<BRootState*> roots = e->roots;  // printing must not see the table change
    for (BRootState* r : roots) r->printData(int(args.size()), argv.data());
}

void BTrace::processCommandsFile(const std::string& pattern)
{
    std::ifstream in(_commandsFile, std::ios::binary);
    if (!in) {
        std::fprintf(noticeOut, "\nTrace commands file \"%s\" does not exist !!, touching ...\n", _commandsFile.c_str());
        std::fflush(noticeOut);
        std::ofstream touch(_commandsFile);
        return;
    }
    // Commands are at most 78 characters; the rest of a longer line is dropped
    // rather than run as a command of its own.
    const size_t maxLine = 78;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > maxLine) line.resize(maxLine);
        if (line.find(pattern) != std::string::npos) procDbgStr(line);
    }
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
