#include "main/line/LineUnit.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <nlohmann/json.hpp>

#include "helm/platform/BTimerTick.h"
#include "korprog/conndrv/Data/PortNames.h"
#include "korprog/runlog/RunLog.h"

namespace {

// fd becomes target, open across exec.
void moveTo(int fd, int target)
{
    if (fd == target)
        ::fcntl(target, F_SETFD, 0);
    else
        ::dup2(fd, target);
}

std::string text(const nlohmann::json& j, const char* key)
{
    const auto it = j.find(key);
    return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
}

} // namespace

LineUnit::LineUnit(const std::string& port)
    : _port(port), _name(PortNames::shortName(port)), _pid(-1), _startMs(bMonotonicMs()),
      _startWallMs(JsonLine::wallClockMs()), _exit(-1), _seconds(0), _signal(0), _told(false)
{
}

bool LineUnit::start(const std::string& exe, const std::vector<std::string>& args, std::string* why)
{
    int pipes[3][2];
    int made = 0;
    for (; made < 3; ++made)
        if (::pipe2(pipes[made], O_CLOEXEC) != 0) break;
    if (made < 3) {
        if (why) *why = std::strerror(errno);
        for (int k = 0; k < made; ++k) ::close(pipes[k][0]), ::close(pipes[k][1]);
        return false;
    }
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    char eventsFd[16];
    std::snprintf(eventsFd, sizeof eventsFd, "%d", EVENTS_FD);

    _startMs = bMonotonicMs();
    _startWallMs = JsonLine::wallClockMs();
    const pid_t parent = ::getpid();
    _pid = ::fork();
    if (_pid == 0) {
        ::setpgid(0, 0);
        // A line that is killed takes its runs with it: none goes on alone.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) ::_exit(1);
        const int none = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (none >= 0) moveTo(none, 0);
        moveTo(pipes[0][1], 1);
        moveTo(pipes[1][1], 2);
        moveTo(pipes[2][1], EVENTS_FD);
        ::setenv(RunLog::EVENTS_FD_VARIABLE, eventsFd, 1);
        sigset_t all;
        sigemptyset(&all);
        ::sigprocmask(SIG_SETMASK, &all, nullptr);
        ::execv(exe.c_str(), argv.data());
        std::fprintf(stderr, "korprog: cannot start %s: %s\n", exe.c_str(), std::strerror(errno));
        ::_exit(1);
    }
    const int err = errno;
    for (int k = 0; k < 3; ++k) ::close(pipes[k][1]);
    if (_pid < 0) {
        for (int k = 0; k < 3; ++k) ::close(pipes[k][0]);
        if (why) *why = std::strerror(err);
        return false;
    }
    _inputs = {{pipes[0][0], 1, ""}, {pipes[1][0], 2, ""}, {pipes[2][0], 0, ""}};
    return true;
}

std::vector<int> LineUnit::inputs() const
{
    std::vector<int> fds;
    for (const Input& in : _inputs) fds.push_back(in.fd);
    return fds;
}

void LineUnit::read(int fd, const Sink& sink)
{
    for (size_t k = 0; k < _inputs.size(); ++k) {
        Input& in = _inputs[k];
        if (in.fd != fd) continue;
        char buf[4096];
        ssize_t n;
        while ((n = ::read(fd, buf, sizeof buf)) < 0 && errno == EINTR) {
        }
        const bool ended = n <= 0;
        if (n > 0) in.partial.append(buf, static_cast<size_t>(n));
        size_t from = 0;
        for (size_t nl; (nl = in.partial.find('\n', from)) != std::string::npos; from = nl + 1) {
            const std::string line = in.partial.substr(from, nl - from);
            if (in.stream == 0) takeEvent(line);
            sink(*this, in.stream, line);
        }
        in.partial.erase(0, from);
        if (!ended) return;
        // A last line without its line end is a line all the same.
        if (!in.partial.empty()) {
            if (in.stream == 0) takeEvent(in.partial);
            sink(*this, in.stream, in.partial);
        }
        ::close(fd);
        _inputs.erase(_inputs.begin() + static_cast<long>(k));
        return;
    }
}

void LineUnit::takeEvent(const std::string& line)
{
    const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
    if (!j.is_object()) return;
    const std::string event = text(j, "event");
    if (event == "unit") {
        _type = text(j, "type");
        _imei = text(j, "imei");
        _last = UnitIdentity{_type, text(j, "software"), text(j, "special"), text(j, "hardware"), _imei};
        if (!_first) _first = _last;
    } else if (event == "end") {
        // The exit code is the process's own; the time the run's.
        _reason = text(j, "reason");
        _told = true;
        const auto d = j.find("duration_s");
        if (d != j.end() && d->is_number()) _seconds = d->get<double>();
    }
}

void LineUnit::reap()
{
    if (_pid <= 0 || _exit >= 0) return;
    int status = 0;
    pid_t r;
    while ((r = ::waitpid(_pid, &status, 0)) < 0 && errno == EINTR) {
    }
    // Reaped as its output ends: the run's own time, unless it told it.
    if (!_told) _seconds = static_cast<double>(bMonotonicMs() - _startMs) / 1000.0;
    if (r == _pid && WIFEXITED(status)) {
        _exit = WEXITSTATUS(status);
    } else {
        _exit = 1;
        if (r == _pid && WIFSIGNALED(status)) _signal = WTERMSIG(status);
        if (_signal > 0 && _reason.empty()) _reason = std::string("ended by signal ") + std::to_string(_signal);
    }
}

RunReport LineUnit::record(RunReport base) const
{
    base.startedMs = _startWallMs;
    base.endedMs = JsonLine::wallClockMs();
    base.port = _port;
    base.before = _first;
    base.after = _last;
    base.exitCode = _exit;
    base.kind = "other";
    base.reason = _reason;
    base.durationS = _seconds;
    return base;
}

void LineUnit::signal(int sig) const
{
    if (running()) ::kill(_pid, sig);
}

void LineUnit::failed(const std::string& reason)
{
    _exit = 1;
    _reason = reason;
}
