#ifndef TESTS_SUPPORT_FULLDISK_H
#define TESTS_SUPPORT_FULLDISK_H

// A full disk without root and without a file system of its own: a process
// whose file-size limit (RLIMIT_FSIZE) is tiny gets EFBIG for every write
// past that size, as a full disk gives ENOSPC, and SIGXFSZ is ignored so
// the write fails instead of killing the process. The limit is set in a
// child only, so the test process itself is never limited.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>

namespace fulldisk {

// In the calling process: no file may grow past bytes.
inline void limitFileSize(rlim_t bytes)
{
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit r = {bytes, bytes};
    ::setrlimit(RLIMIT_FSIZE, &r);
}

// Runs body in a child limited to files of bytes; the child's result (0 to
// 255), or -1 when it did not end normally.
inline int inChild(rlim_t bytes, const std::function<int()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        limitFileSize(bytes);
        ::_exit(body());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace fulldisk

#endif
