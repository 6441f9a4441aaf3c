// The trace command language: one line from the remote console or the
// commands file sets debug levels, re-routes events or prints the state
// machines and the runtime's data.
#include "bdebug/BTrace.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "bdebug/BException.h"
#include "helm/BRootState.h"
#include "helm/BScheduler.h"

char BTrace::_cmdLineStr[256];

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

}  // namespace

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
