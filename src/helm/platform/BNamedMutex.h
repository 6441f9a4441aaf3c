#ifndef HELM_PLATFORM_BNAMEDMUTEX_H
#define HELM_PLATFORM_BNAMEDMUTEX_H

#include <mutex>
#include <string>

// A process-wide named mutex: an exclusive flock on a lock file named after
// the mutex in $XDG_RUNTIME_DIR (else /tmp, one per user). Holding it tells
// a second process of the same name that we run. It also serves as the
// in-process lock around the scheduler's readiness bookkeeping.
class BNamedMutex {
public:
    BNamedMutex() = default;
    ~BNamedMutex() { close(); }
    BNamedMutex(const BNamedMutex&) = delete;
    BNamedMutex& operator=(const BNamedMutex&) = delete;

    enum Result { CREATED, ALREADY_EXISTS, FAILED };
    // CREATED at once when this object already holds the name.
    Result create(const std::string& name);
    void close();
    bool valid() const { return _fd >= 0; }
    const std::string& path() const { return _path; }
    // The errno of the last FAILED create.
    int error() const { return _error; }

    void lock() { _lock.lock(); }
    void unlock() { _lock.unlock(); }

    static std::string lockPath(const std::string& name);

private:
    int _fd = -1;
    int _error = 0;
    std::string _path;
    std::mutex _lock;
};

#endif
