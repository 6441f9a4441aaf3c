#ifndef TESTS_SUPPORT_KORPROGPROCESS_H
#define TESTS_SUPPORT_KORPROGPROCESS_H

// The built program as a process without a display: its working and data
// directory, its arguments, how long it may take, and optionally a
// file-size limit standing in for a full disk. Only for test programs that
// know KORPROG_PATH.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "korvansim/SimProcess.h"
#include "support/FullDisk.h"

struct KorprogRun {
    int rc;  // exit code; -1 after a signal, -2 when it had to be killed
    std::string out, err;
    double seconds;
};

// While the program runs, `during` is called every 10 ms with the time
// passed (seconds) and the program's process; it may act on the world, such
// as ending the simulator, or signal the program. A tag names its output
// files (out<tag>.txt), for runs side by side in one directory. env changes
// the environment after that: "NAME=value" sets, "NAME" unsets.
inline KorprogRun runKorprogWatched(const std::string& dir, const std::vector<std::string>& args, int timeoutS,
                                    rlim_t fileLimit, const std::function<void(double, pid_t)>& during,
                                    const std::string& tag = "", const std::vector<std::string>& env = {})
{
    const std::string out = "out" + tag + ".txt", err = "err" + tag + ".txt";
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
        ::setenv("KORPROG_DATA_DIR", dir.c_str(), 1);
        ::unsetenv("DISPLAY");
        for (const std::string& e : env) {
            const size_t eq = e.find('=');
            if (eq == std::string::npos) ::unsetenv(e.c_str());
            else ::setenv(e.substr(0, eq).c_str(), e.c_str() + eq + 1, 1);
        }
        if (::chdir(dir.c_str()) != 0) ::_exit(126);
        if (!std::freopen(out.c_str(), "w", stdout) || !std::freopen(err.c_str(), "w", stderr)) ::_exit(125);
        if (fileLimit > 0) fulldisk::limitFileSize(fileLimit);
        std::vector<char*> argv{const_cast<char*>(KORPROG_PATH)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(KORPROG_PATH, argv.data());
        ::_exit(127);
    }
    auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(); };
    int rc = -2;
    while (elapsed() < timeoutS) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (during) during(elapsed(), pid);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (rc == -2) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    return {rc, ksimtest::readFile(dir + "/" + out), ksimtest::readFile(dir + "/" + err), elapsed()};
}

inline KorprogRun runKorprog(const std::string& dir, const std::vector<std::string>& args, int timeoutS,
                             rlim_t fileLimit = 0, const std::function<void(double)>& during = {})
{
    return runKorprogWatched(dir, args, timeoutS, fileLimit, [&during](double s, pid_t) {
        if (during) during(s);
    });
}

#endif
