#include "main/ProductionLine.h"

#include <poll.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "korprog/RunFailure.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/runlog/RunOptions.h"
#include "main/LineSummary.h"
#include "main/LineUnit.h"
#include "main/MainStartup.h"
#include "main/OptionTable.h"
#include "main/UserDir.h"

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
    if (why.empty() && !FrmKorProgImpl::CMDL_PROGRAM && !RevPackDb::CMDL_UPGRADE)
        why = "several -port options need -program or -upgrade, the run to make on each port";
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
    }
    for (LineUnit& u : units) u.reap();

    writeLine(json ? stderr : stdout, "\n" + LineSummary::table(units));
    if (json) writeLine(stdout, LineSummary::event(units));
    return LineSummary::exitCode(units);
}
