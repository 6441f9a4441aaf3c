#include "main/line/ProductionLine.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "korprog/RunFailure.h"
#include "korprog/conndrv/Data/NetAddress.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/progctrl/Run/KvctrlUnitValues.h"
#include "korprog/progctrl/Run/KvctrlSettingsRun.h"
#include "korprog/runlog/RunEvents.h"
#include "korprog/runlog/RunLog.h"
#include "korprog/runlog/RunOptions.h"
#include "korprog/runlog/Sha256.h"
#include "main/line/LineSummary.h"
#include "main/line/LineUnit.h"
#include "main/MainStartup.h"
#include "main/OptionTable.h"
#include "main/UserDir.h"

namespace fs = std::filesystem;

namespace {

volatile sig_atomic_t signalsReceived = 0;
volatile sig_atomic_t lastSignal = 0;

void onSignal(int sig)
{
    lastSignal = sig;
    signalsReceived = signalsReceived + 1;
}

void catchSignals()
{
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    // No SA_RESTART: the wait returns, and the signal is passed on.
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    // A reader of our output that goes away must not end the line while
    // its runs go on.
    std::signal(SIGPIPE, SIG_IGN);
}

void writeLine(FILE* to, const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), to);
    std::fflush(to);
}

// Two names of one port: the same device (a link and its device, two
// links), the same HOST:PORT, or, for names that lead to no device, the
// same path.
bool samePort(const std::string& a, const std::string& b)
{
    // A device server's port is one, whichever scheme names it.
    NetAddress na, nb;
    const bool neta = na.parse(a.c_str()), netb = nb.parse(b.c_str());
    if (neta || netb) return neta && netb && na.samePort(nb);
    struct stat sa, sb;
    const bool da = ::stat(a.c_str(), &sa) == 0, db = ::stat(b.c_str(), &sb) == 0;
    if (da && db) return S_ISCHR(sa.st_mode) && S_ISCHR(sb.st_mode) ? sa.st_rdev == sb.st_rdev
                                                                    : sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    if (da || db) return false;
    std::error_code ec;
    return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

// Why the ports cannot make one line; "" when they can.
std::string portsFault(const std::vector<std::string>& ports)
{
    if (ports.size() > ProductionLine::MAX_PORTS)
        return "at most " + std::to_string(ProductionLine::MAX_PORTS) + " ports in one line; " +
               std::to_string(ports.size()) + " were given";
    for (size_t i = 0; i < ports.size(); ++i)
        for (size_t j = i + 1; j < ports.size(); ++j)
            if (samePort(ports[i], ports[j]))
                return ports[i] == ports[j] ? "-port " + ports[i] + " is given twice"
                                            : "-port " + ports[i] + " and -port " + ports[j] + " name the same port";
    return "";
}

// What the line knows of every run's record; the rest comes from its events.
RunReport lineRecord()
{
    RunReport base;
    std::string digest, why;
    if (FrmKorProgImpl::CMDL_PROGRAM || KvctrlSettingsRun::COMPARE) {
        base.mode = FrmKorProgImpl::CMDL_PROGRAM ? "program" : "compare";
        base.settingsFile =
            FrmKorProgImpl::CMDL_PROGRAM ? FrmKorProgImpl::PROG_FILE_ADN : KvctrlSettingsRun::COMPARE_FILE;
        if (Sha256::ofFile(base.settingsFile, &digest, &why)) base.settingsSha256 = digest;
        base.valuesFile = KvctrlUnitValues::CMDL_VALUES;
    } else if (KvctrlSettingsRun::FETCH) {
        // Which file a run wrote, only its own record knows.
        base.mode = "fetch";
    } else {
        base.mode = "upgrade";
        base.image = RevPackDb::CMDL_BINFILE;
    }
    return base;
}

// A run killed before it told its end: its end event and its record, as it
// would have written them.
void tellOnBehalf(const LineUnit& u, bool json)
{
    if (json) {
        RunEvents events(STDOUT_FILENO);
        events.port(u.port());
        events.end(u.exitCode(), "other", u.reason(), u.seconds());
    }
    std::string why;
    if (*RunOptions::REPORT && !u.record(lineRecord()).append(RunOptions::REPORT, &why))
        writeLine(stderr, "[" + u.name() + "] korprog: cannot write the report " + RunOptions::REPORT + ": " + why + "\n");
}

} // namespace

std::vector<std::string> ProductionLine::childArgs(int argc, char** argv, const std::string& port)
{
    // Read as the table reads it: a -port that is another option's value,
    // or a file of that name, stays.
    const OptionTable::Option* portOption = OptionTable::find("-port");
    std::vector<std::string> args{argv[0]};
    OptionTable::walk(argc, argv, [&](const OptionTable::Arg& a) {
        if (a.option == portOption && a.missing.empty()) return;
        args.push_back(a.text);
        if (a.missing.empty())
            for (const char* v : a.values) args.push_back(v);
    });
    args.push_back("-port");
    args.push_back(port);
    return args;
}

int ProductionLine::run(int argc, char** argv, const std::string& refusal)
{
    std::string why = refusal;
    if (why.empty() && !FrmKorProgImpl::CMDL_PROGRAM && !RevPackDb::CMDL_UPGRADE && !KvctrlSettingsRun::withUnit())
        why = "several -port options need -program, -upgrade, -fetch or -compare, the run to make on each port";
    // Each unit its own file, or the units would write over each other's.
    if (why.empty() && KvctrlSettingsRun::FETCH && !KvctrlSettingsRun::namesEachUnit(KvctrlSettingsRun::FETCH_FILE))
        why = std::string("-fetch ") + KvctrlSettingsRun::FETCH_FILE +
              ": with several -port options the file must name {port} or {imei}, one file per unit";
    if (why.empty()) why = portsFault(RunOptions::PORTS);
    // The runs take their rows through the table's ledger; a table none can use is refused once.
    if (why.empty()) why = KvctrlUnitValues::inputFault();
    // Refused before any unit is asked, not found once all are programmed.
    if (why.empty()) RunLog::reportUsable(&why);
    if (!why.empty()) {
        MainStartup::beginRun(true);
        return MainStartup::refuse(RunFailure::Kind::BadInput, why);
    }
    catchSignals();
    const bool json = RunOptions::JSON;
    std::vector<LineUnit> units;
    units.reserve(RunOptions::PORTS.size());
    for (const std::string& port : RunOptions::PORTS) units.emplace_back(port);
    for (LineUnit& u : units) {
        std::string failure;
        if (!u.start("/proc/self/exe", childArgs(argc, argv, u.port()), &failure))
            u.failed("the run on this port could not be started: " + failure);
    }
    // The summary in the user's language; the runs have started where the
    // line was started.
    UserDir::visit();

    const LineUnit::Sink sink = [json](const LineUnit& unit, int stream, const std::string& line) {
        if (stream == 0) {
            // A run's events carry its port already.
            if (json) writeLine(stdout, line + "\n");
            return;
        }
        writeLine(stream == 1 ? stdout : stderr, "[" + unit.name() + "] " + line + "\n");
    };
    int passedOn = 0;
    for (;;) {
        while (passedOn < signalsReceived) {
            ++passedOn;
            for (const LineUnit& u : units) u.signal(lastSignal);
        }
        std::vector<struct pollfd> fds;
        std::vector<LineUnit*> owners;
        for (LineUnit& u : units)
            for (int fd : u.inputs()) {
                fds.push_back({fd, POLLIN, 0});
                owners.push_back(&u);
            }
        if (fds.empty()) break;
        // Not for ever: a signal may come just before the wait.
        if (::poll(fds.data(), fds.size(), 200) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (size_t k = 0; k < fds.size(); ++k)
            if (fds[k].revents != 0) owners[k]->read(fds[k].fd, sink);
        // A run whose output ended is over: its own time, not the line's.
        for (LineUnit& u : units)
            if (u.inputs().empty() && u.running()) {
                u.reap();
                if (u.endedUntold()) tellOnBehalf(u, json);
            }
    }
    for (LineUnit& u : units) u.reap();

    writeLine(json ? stderr : stdout, "\n" + LineSummary::table(units));
    if (json) writeLine(stdout, LineSummary::event(units));
    return LineSummary::exitCode(units);
}
