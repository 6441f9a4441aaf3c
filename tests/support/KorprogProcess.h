#ifndef TESTS_SUPPORT_KORPROGPROCESS_H
#define TESTS_SUPPORT_KORPROGPROCESS_H

// The built program as a process: how it is started (KorprogStart), one
// process to watch, signal and wait for (KorprogProcess), and a run to its
// end (runKorprog). Only for test programs that know KORPROG_PATH.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "helm/platform/BNamedMutex.h"
#include "korvansim/SimProcess.h"
#include "main/Main.h"
#include "support/FullDisk.h"

// Where and how the program starts. `dir` is its working directory, its data
// directory and where its lock lives; standard output and error go to
// out<tag>.txt and err<tag>.txt there. It has no display unless `display`
// keeps the one the tests run under. `env` changes the environment after
// that: "NAME=value" sets, "NAME" unsets. A file-size limit stands in for a
// full disk; `inChild` runs last before the program, for descriptors of a
// test's own.
struct KorprogStart {
    KorprogStart(std::string dir, std::vector<std::string> env = {}) : dir(std::move(dir)), env(std::move(env)) {}
    std::string dir;
    std::vector<std::string> env;
    bool display = false;
    std::string tag;
    rlim_t fileLimit = 0;
    std::function<void()> inChild;
};

namespace korprogtest {

// A run's output line by line, the last one also without its line end.
inline std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1) lines.push_back(text.substr(at, nl - at));
    if (at < text.size()) lines.push_back(text.substr(at));
    return lines;
}

// The name of the single-instance lock; its file is this with ".lock".
const char* const PROGRAM_LOCK = "Helm_" Sw_VERSION "_MutexId";

// Asks for the program's lock in `dir` as a run started there asks for it.
inline BNamedMutex::Result askProgramLock(BNamedMutex& lock, const std::string& dir)
{
    ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    const BNamedMutex::Result r = lock.create(PROGRAM_LOCK);
    ::unsetenv("XDG_RUNTIME_DIR");
    return r;
}

} // namespace korprogtest

struct KorprogRun {
    int rc;  // exit code; -1 after a signal, -2 when it had to be killed
    std::string out, err;
    double seconds;
};

class KorprogProcess {
public:
    KorprogProcess() = default;
    KorprogProcess(const KorprogProcess&) = delete;
    KorprogProcess& operator=(const KorprogProcess&) = delete;
    ~KorprogProcess() { kill(); }

    void start(const KorprogStart& how, const std::vector<std::string>& args)
    {
        kill();
        _dir = how.dir;
        _tag = how.tag;
        _t0 = std::chrono::steady_clock::now();
        _pid = ::fork();
        if (_pid != 0) return;
        ::setenv("XDG_RUNTIME_DIR", how.dir.c_str(), 1);
        ::setenv("KORPROG_DATA_DIR", how.dir.c_str(), 1);
        if (!how.display) ::unsetenv("DISPLAY");
        for (const std::string& e : how.env) {
            const size_t eq = e.find('=');
            if (eq == std::string::npos) ::unsetenv(e.c_str());
            else ::setenv(e.substr(0, eq).c_str(), e.c_str() + eq + 1, 1);
        }
        if (::chdir(how.dir.c_str()) != 0) ::_exit(126);
        if (!std::freopen(("out" + how.tag + ".txt").c_str(), "w", stdout) ||
            !std::freopen(("err" + how.tag + ".txt").c_str(), "w", stderr))
            ::_exit(125);
        if (how.fileLimit > 0) fulldisk::limitFileSize(how.fileLimit);
        if (how.inChild) how.inChild();
        std::vector<char*> argv{const_cast<char*>(KORPROG_PATH)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(KORPROG_PATH, argv.data());
        ::_exit(127);
    }

    // Waits up to `seconds` for the end: the exit code, -1 after a signal, -2
    // while it still runs. Meanwhile `during` is called every 10 ms with the
    // time since the start and the process; it may act on the world, such as
    // ending the simulator, or signal the program.
    int wait(double seconds, const std::function<void(double, pid_t)>& during = {})
    {
        const double until = elapsed() + seconds;
        while (_pid > 0) {
            int status = 0;
            if (::waitpid(_pid, &status, WNOHANG) == _pid) {
                _pid = -1;
                _rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                break;
            }
            if (elapsed() >= until) return -2;
            if (during) during(elapsed(), _pid);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return _rc;
    }
    bool running() { return wait(0) == -2; }
    void signal(int sig) const
    {
        if (_pid > 0) ::kill(_pid, sig);
    }
    // Ends it at once, if it still runs.
    void kill()
    {
        if (_pid <= 0) return;
        ::kill(_pid, SIGKILL);
        ::waitpid(_pid, nullptr, 0);
        _pid = -1;
        _rc = -2;
    }

    pid_t pid() const { return _pid; }
    double elapsed() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - _t0).count(); }
    std::string out() const { return ksimtest::readFile(_dir + "/out" + _tag + ".txt"); }
    std::string err() const { return ksimtest::readFile(_dir + "/err" + _tag + ".txt"); }

private:
    std::string _dir, _tag;
    std::chrono::steady_clock::time_point _t0;
    pid_t _pid = -1;
    int _rc = -2;
};

// A run to its end, killed after `timeoutS`; `during` as for
// KorprogProcess::wait.
inline KorprogRun runKorprog(const KorprogStart& how, const std::vector<std::string>& args, int timeoutS,
                             const std::function<void(double, pid_t)>& during = {})
{
    KorprogProcess p;
    p.start(how, args);
    int rc = p.wait(timeoutS, during);
    if (rc == -2) p.kill();
    return {rc, p.out(), p.err(), p.elapsed()};
}

// The short forms, of a directory and the rest in order.
inline KorprogRun runKorprog(const std::string& dir, const std::vector<std::string>& args, int timeoutS,
                             rlim_t fileLimit = 0, const std::function<void(double)>& during = {})
{
    KorprogStart how(dir);
    how.fileLimit = fileLimit;
    return runKorprog(how, args, timeoutS, [&during](double s, pid_t) {
        if (during) during(s);
    });
}
inline KorprogRun runKorprogWatched(const std::string& dir, const std::vector<std::string>& args, int timeoutS,
                                    rlim_t fileLimit, const std::function<void(double, pid_t)>& during,
                                    const std::string& tag = "", const std::vector<std::string>& env = {})
{
    KorprogStart how(dir, env);
    how.fileLimit = fileLimit;
    how.tag = tag;
    return runKorprog(how, args, timeoutS, during);
}

#endif
