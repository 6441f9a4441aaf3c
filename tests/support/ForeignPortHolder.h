#ifndef TESTS_SUPPORT_FOREIGNPORTHOLDER_H
#define TESTS_SUPPORT_FOREIGNPORTHOLDER_H

// A port held the way another program (a terminal program) holds it: open,
// exclusive (TIOCEXCL, which root passes) and flock(2)ed, without the
// program's own port lock.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <string>

class ForeignPortHolder {
public:
    explicit ForeignPortHolder(const std::string& device)
    {
        _fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (_fd >= 0 && (::ioctl(_fd, TIOCEXCL) != 0 || ::flock(_fd, LOCK_EX | LOCK_NB) != 0)) release();
    }
    ~ForeignPortHolder() { release(); }
    ForeignPortHolder(const ForeignPortHolder&) = delete;
    ForeignPortHolder& operator=(const ForeignPortHolder&) = delete;

    bool held() const { return _fd >= 0; }
    void release()
    {
        if (_fd < 0) return;
        ::ioctl(_fd, TIOCNXCL);
        ::close(_fd);
        _fd = -1;
    }

private:
    int _fd = -1;
};

#endif
