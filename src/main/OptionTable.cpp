#include "main/OptionTable.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "korprog/conndrv/Data/NetAddress.h"
#include "korprog/conndrv/Data/Serial.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/progctrl/Run/KvctrlUnitValues.h"
#include "korprog/progctrl/Run/KvctrlSettingsRun.h"
#include "korprog/runlog/RunOptions.h"
#include "main/Main.h"

namespace fs = std::filesystem;

bool OptionTable::VERSION = false;
bool OptionTable::DOCTOR = false;
bool OptionTable::COMPLETION = false;

namespace {

using Option = OptionTable::Option;
using Value = OptionTable::Value;
using Shown = OptionTable::Shown;
using Context = OptionTable::Context;

void refuse(Context& c, const std::string& why)
{
    if (c.refusal && c.refusal->empty()) *c.refusal = why;
}

// Paths given on the command line mean what they meant where the user
// started the program, also once it runs in its own directory. The texts
// live as long as the program: the switches point into them.
const char* fromStartDir(const Context& c, const char* path)
{
    if (!path || !*path || path[0] == '/' || c.startDir.empty()) return path;
    static std::vector<std::unique_ptr<std::string>> kept;
    kept.push_back(std::make_unique<std::string>((fs::path(c.startDir) / path).lexically_normal().string()));
    return kept.back()->c_str();
}

// A port name the serial port can use as it is: never cut, never replaced
// by another port.
std::string portFault(const char* name)
{
    const size_t n = std::strlen(name);
    if (n > static_cast<size_t>(Serial::PORTNAME_MAX))
        return "-port: a port name of " + std::to_string(n) + " characters cannot be used (at most " +
               std::to_string(Serial::PORTNAME_MAX) + ")";
    for (size_t k = 0; k < n; ++k)
        if (std::iscntrl(static_cast<unsigned char>(name[k])))
            return "-port: a port name with a control character (such as a line end) cannot be used";
    return "";
}

void setPort(const char* const* v, Context& c)
{
    // A port across the network as it is, once it reads as one.
    std::string why;
    NetAddress address;
    if (NetAddress::isNetName(v[0])) {
        const std::string fault = portFault(v[0]);
        if (!fault.empty()) return refuse(c, fault);
        if (!address.parse(v[0], &why)) return refuse(c, std::string("-port ") + v[0] + ": " + why);
        RunOptions::PORTS.push_back(v[0]);
        return;
    }
    // COMn and device paths as they are; any other name is a path from
    // where the program was started, and must fit as that.
    char device[Serial::PORTNAME_MAX + 1];
    const char* port = std::strlen(v[0]) <= static_cast<size_t>(Serial::PORTNAME_MAX) &&
                               Serial::devicePath(v[0], device, sizeof device)
                           ? v[0]
                           : fromStartDir(c, v[0]);
    const std::string fault = portFault(port);
    if (!fault.empty()) return refuse(c, fault);
    RunOptions::PORTS.push_back(port);
}

void setRevpack(const char* const* v, Context& c)
{
    // A pack of the pack directory, by name: a path could read any file.
    if (std::strchr(v[0], '/'))
        return refuse(c, std::string("-revpack takes the name of a pack in ") + Main::_revpacksDir +
                             ", without a directory: " + v[0]);
    RevPackDb::CMDL_REVPACK = v[0];
}

void nothing(const char* const*, Context&) {}

const std::vector<Option>& table()
{
    // Option texts of the usage text are the command line's own.
    static const std::vector<Option> options = {
        {{"-cmdl_crtrpa"}, Value::NONE, Shown::USAGE, "Create RevPack database via KorProg command line",
         [](const char* const*, Context&) { RevPackDb::CMDL_CREATE_REVPACK = true; }},
        {{"-bindir"}, Value::DIR, Shown::USAGE, "Directory where binfiles are stored",
         [](const char* const* v, Context& c) { RevPackDb::CMDL_BINDIR = fromStartDir(c, v[0]); }},
        {{"-createrevpack"}, Value::NONE, Shown::USAGE, "Create RevPack database via KorProg gui",
         [](const char* const*, Context&) { FrmKorProgImpl::CREATE_REVPACK = true; }},
        {{"-nohwcheck"}, Value::NONE, Shown::USAGE, "No check on hardware revision.",
         [](const char* const*, Context&) { RevPackDb::CHECK_HARDWARE = false; }},
        {{"-upgrade"}, Value::NONE, Shown::USAGE, "Sofware upgrade via the commandline.",
         [](const char* const*, Context&) { RevPackDb::CMDL_UPGRADE = true; }},
        {{"-revpack"}, Value::PACK, Shown::USAGE, "RevPack database which is stored in ./RevPacks", setRevpack},
        {{"-binfile"}, Value::NAME, Shown::USAGE, "Binfile containing the desired sofware version",
         [](const char* const* v, Context&) { RevPackDb::CMDL_BINFILE = v[0]; }},
        {{"-program"}, Value::FILE, Shown::USAGE, "Program settings via command line",
         [](const char* const* v, Context& c) {
             FrmKorProgImpl::PROG_FILE_ADN = fromStartDir(c, v[0]);
             FrmKorProgImpl::CMDL_PROGRAM = true;
         }},
        {{"-values"}, Value::FILE, Shown::RUN,
         "with -program: each unit also gets its own row of FILE\n"
         "(CSV: a column per entry part, 37.text, 37.number or a\n"
         "field's label; an optional column imei); rows used are\n"
         "kept in FILE.used",
         [](const char* const* v, Context& c) { KvctrlUnitValues::CMDL_VALUES = fromStartDir(c, v[0]); }},
        {{"-fetch"}, Value::FILE, Shown::USE,
         "fetches the unit's settings into FILE (.adn), written whole\n"
         "or not at all; several -port: FILE names {port} or {imei}",
         [](const char* const* v, Context& c) {
             KvctrlSettingsRun::FETCH_FILE = fromStartDir(c, v[0]);
             KvctrlSettingsRun::FETCH = true;
         }},
        {{"-compare"}, Value::FILE, Shown::USE,
         "compares the unit's settings with FILE, one line per\n"
         "difference; exit code 0 when they agree, 9 when not",
         [](const char* const* v, Context& c) {
             KvctrlSettingsRun::COMPARE_FILE = fromStartDir(c, v[0]);
             KvctrlSettingsRun::COMPARE = true;
         }},
        {{"-with"}, Value::FILE, Shown::USE, "with -compare: compares with FILE instead of a unit",
         [](const char* const* v, Context& c) { KvctrlSettingsRun::WITH_FILE = fromStartDir(c, v[0]); }},
        {{"-produpgr"}, Value::NONE, Shown::HIDDEN, "",
         [](const char* const*, Context&) { RevPackDb::CHECK_SPECIAL = false; }},
        {{"-remdbg"}, Value::HOST_PORT, Shown::HIDDEN, "",
         [](const char* const* v, Context&) {
             Main::_dbgAddr = v[0];
             Main::_dbgPort = std::atoi(v[1]);
         }},

        {{"-json"}, Value::NONE, Shown::RUN, "JSON Lines events on standard output, messages on standard error",
         [](const char* const*, Context&) { RunOptions::JSON = true; }},
        {{"-q"}, Value::NONE, Shown::RUN, "only the result line and errors, no progress",
         [](const char* const*, Context&) { RunOptions::QUIET = true; }},
        {{"-report"}, Value::FILE, Shown::RUN, "append one JSON record of the run to FILE",
         [](const char* const* v, Context& c) { RunOptions::REPORT = fromStartDir(c, v[0]); }},
        {{"-nobackup"}, Value::NONE, Shown::RUN, "no backup of the unit's settings before an upgrade",
         [](const char* const*, Context&) { RunOptions::BACKUP = false; }},
        {{"-noverify"}, Value::NONE, Shown::RUN, "no read-back of the settings after programming",
         [](const char* const*, Context&) { RunOptions::VERIFY = false; }},
        {{"-port"}, Value::DEV, Shown::RUN,
         "the port for this run (COMn or a device path, such as\n"
         "/dev/serial/by-id/..., or rfc2217://HOST:PORT or\n"
         "socket://HOST:PORT), not written into config.ini; also\n"
         "for the window. Several -port options: the run on every\n"
         "port at once, then a summary",
         setPort},

        {{"-list-ports"}, Value::NONE, Shown::USE, "list the serial ports and the Korvan units that answer there",
         [](const char* const*, Context&) { RunOptions::LIST_PORTS = true; }},
        {{"-doctor"}, Value::NONE, Shown::USE,
         "checks the serial ports, their permissions, the user's\n"
         "directory, the data files and the display; one line per\n"
         "check (with -json: one object), exit code 0 when all hold, else 1",
         [](const char* const*, Context&) { OptionTable::DOCTOR = true; }},
        {{"-version", "--version"}, Value::NONE, Shown::USE, "prints the program's version",
         [](const char* const*, Context&) { OptionTable::VERSION = true; }},
        // Alone, the usage text (before anything else); among other options, nothing.
        {{"-help", "--help", "-h"}, Value::NONE, Shown::USE, "prints this text", nothing},
        // Made into the package's bash completion.
        {{"--bash-completion"}, Value::NONE, Shown::HIDDEN, "",
         [](const char* const*, Context&) { OptionTable::COMPLETION = true; }},
    };
    return options;
}

const char* valueText(Value v)
{
    switch (v) {
    case Value::FILE: return " FILE";
    case Value::DIR: return " DIR";
    case Value::DEV: return " DEV";
    case Value::PACK:
    case Value::NAME: return " NAME";
    case Value::HOST_PORT: return " HOST PORT";
    case Value::NONE: break;
    }
    return "";
}

std::string lower(const char* s)
{
    std::string out;
    for (; *s; ++s) out += static_cast<char>(std::tolower(static_cast<unsigned char>(*s)));
    return out;
}

// Edits (insertions, deletions, replacements) from a to b.
size_t distance(const std::string& a, const std::string& b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diag = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diag + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diag = up;
        }
    }
    return row[b.size()];
}

bool namesFile(const char* arg)
{
    std::error_code ec;
    return *arg && fs::is_regular_file(arg, ec);
}

}  // namespace

int OptionTable::Option::nrValues() const
{
    return value == Value::NONE ? 0 : value == Value::HOST_PORT ? 2 : 1;
}

const std::vector<OptionTable::Option>& OptionTable::all() { return table(); }

const OptionTable::Option* OptionTable::find(const char* name)
{
    for (const Option& o : table())
        for (const char* n : o.names)
            if (n && !std::strcmp(n, name)) return &o;
    return nullptr;
}

const OptionTable::Option* OptionTable::nearest(const char* unknown)
{
    // Case and the number of dashes are the usual slips (-Port, --port).
    std::string u = lower(unknown);
    while (u.size() > 1 && u[0] == '-' && u[1] == '-') u.erase(0, 1);
    if (const Option* same = find(u.c_str()); same && same->shown != Shown::HIDDEN) return same;
    if (u.size() < 3) return nullptr;  // "-", "-x": too little to go by
    const Option* best = nullptr;
    size_t bestDistance = 0;
    for (const Option& o : table()) {
        if (o.shown == Shown::HIDDEN) continue;
        const size_t d = distance(u, o.names[0]);
        if (!best || d < bestDistance) best = &o, bestDistance = d;
    }
    // Further than a third of the name away is another word, not a slip.
    const size_t allowed = std::max<size_t>(2, u.size() / 3);
    return best && bestDistance <= allowed ? best : nullptr;
}

std::string OptionTable::unknown(const char* argument)
{
    const Option* near = nearest(argument);
    return std::string("unknown option ") + argument +
           (near ? std::string("; did you mean ") + near->names[0] + "?" : std::string("; korprog -help lists them"));
}

void OptionTable::walk(int argc, char** argv, const std::function<void(const Arg&)>& each)
{
    for (int i = 1; i < argc; ++i) {
        Arg arg;
        arg.index = i;
        const char* a = argv[i];
        arg.text = a;
        if (namesFile(a)) {
            arg.file = true;
        } else if ((arg.option = find(a))) {
            const int n = arg.option->nrValues();
            for (int k = 0; k < n && arg.missing.empty(); ++k) {
                // A value missing at the end, or given as "", is refused:
                // the run would otherwise be another one.
                const bool atEnd = i + 1 + k >= argc;
                if (atEnd || argv[i + 1 + k][0] == '\0')
                    arg.missing = std::string(a) + " needs " + (n == 1 ? "a value" : std::to_string(n) + " values") +
                                  (atEnd ? "" : ", not an empty one");
                else
                    arg.values.push_back(argv[i + 1 + k]);
            }
            if (arg.missing.empty()) i += n;
        } else {
            arg.unknown = a[0] == '-';
        }
        each(arg);
    }
}

void OptionTable::apply(const Arg& arg, Context& context)
{
    if (arg.unknown) {
        // Refused before the rest: whatever else it says, the command line
        // is not what its writer meant.
        if (context.refusal && context.refusal->rfind("unknown option ", 0) != 0)
            *context.refusal = unknown(arg.text);
        return;
    }
    if (!arg.option) return;
    if (!arg.missing.empty()) {
        refuse(context, arg.missing);
        // The switch still says which run was refused.
        if (arg.option == find("-program")) FrmKorProgImpl::CMDL_PROGRAM = true;
        if (arg.option == find("-fetch")) KvctrlSettingsRun::FETCH = true;
        if (arg.option == find("-compare")) KvctrlSettingsRun::COMPARE = true;
        return;
    }
    arg.option->set(arg.values.data(), context);
}

void OptionTable::writeHelp(FILE* out)
{
    auto write = [out](const Option& o) {
        std::string left;
        for (const char* n : o.names)
            if (n) left += (left.empty() ? "" : ", ") + std::string(n);
        left += valueText(o.value);
        // A name too wide for its column has its text on the lines below.
        const std::string help = left.size() < 15 ? o.help : "\n" + std::string(o.help);
        size_t from = 0;
        bool first = true;
        for (;;) {
            const size_t nl = help.find('\n', from);
            const std::string part = help.substr(from, nl == std::string::npos ? std::string::npos : nl - from);
            std::string head = first ? left : "";
            head.resize(first && left.size() >= 15 ? left.size() : 15, ' ');
            const std::string text = "  " + head + part;
            std::fprintf(out, "%s\n", text.substr(0, text.find_last_not_of(' ') + 1).c_str());
            first = false;
            if (nl == std::string::npos) break;
            from = nl + 1;
        }
    };
    std::fprintf(out, "\nUnattended runs (-program, -upgrade, -fetch, -compare, -cmdl_crtrpa) also take:\n");
    for (const Option& o : table())
        if (o.shown == Shown::RUN) write(o);
    std::fprintf(out, "\n");
    for (const Option& o : table())
        if (o.shown == Shown::USE) write(o);
}

void OptionTable::writeCompletion(FILE* out)
{
    std::string words, files, dirs, devices, packs;
    for (const Option& o : table()) {
        if (o.shown == Shown::HIDDEN) continue;
        for (const char* n : o.names) {
            if (!n) continue;
            words += (words.empty() ? "" : " ") + std::string(n);
            std::string& group = o.value == Value::FILE ? files
                                 : o.value == Value::DIR ? dirs
                                 : o.value == Value::DEV ? devices
                                 : o.value == Value::PACK ? packs
                                                          : words;
            if (&group != &words) group += (group.empty() ? "" : "|") + std::string(n);
        }
    }
    std::fprintf(out,
                 "# bash completion for korprog, made by korprog --bash-completion\n"
                 "_korprog()\n"
                 "{\n"
                 "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
                 "    case $prev in\n");
    if (!files.empty())
        std::fprintf(out, "    %s)\n        compopt -o filenames 2>/dev/null\n"
                          "        COMPREPLY=($(compgen -f -- \"$cur\"))\n        return ;;\n", files.c_str());
    if (!dirs.empty())
        std::fprintf(out, "    %s)\n        compopt -o filenames 2>/dev/null\n"
                          "        COMPREPLY=($(compgen -d -- \"$cur\"))\n        return ;;\n", dirs.c_str());
    if (!devices.empty())
        std::fprintf(out, "    %s)\n        COMPREPLY=($(compgen -W \"$(ls -d /dev/serial/by-id/* /dev/ttyUSB* "
                          "/dev/ttyACM* /dev/ttyS* 2>/dev/null)\" -- \"$cur\"))\n        return ;;\n",
                     devices.c_str());
    // Packs by name, from the pack directory as the program finds it.
    if (!packs.empty())
        std::fprintf(out, "    %s)\n"
                          "        local d=${KORPROG_DATA_DIR:-${XDG_DATA_HOME:-$HOME/.local/share}}\n"
                          "        local f names=()\n"
                          "        for f in \"$d/Ombrix/Korvan Tools/Programmer/RevPacks\"/*.rpa; do\n"
                          "            [[ -f $f ]] && f=${f##*/} && names+=(\"${f%%.rpa}\")\n"
                          "        done\n"
                          "        COMPREPLY=($(compgen -W \"${names[*]}\" -- \"$cur\"))\n"
                          "        return ;;\n",
                     packs.c_str());
    std::fprintf(out,
                 "    esac\n"
                 "    if [[ $cur == -* ]]; then\n"
                 "        COMPREPLY=($(compgen -W \"%s\" -- \"$cur\"))\n"
                 "    else\n"
                 "        compopt -o filenames 2>/dev/null\n"
                 "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
                 "    fi\n"
                 "}\n"
                 "complete -F _korprog korprog\n",
                 words.c_str());
}
