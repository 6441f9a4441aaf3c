#ifndef KORPROG_CONNDRV_DATA_PORTLOCK_H
#define KORPROG_CONNDRV_DATA_PORTLOCK_H

#include <sys/types.h>

#include <string>

// Keeps two runs of the program off one serial port, whatever name each
// gives it (COM3, /dev/ttyUSB3, a /dev/serial/by-id link): an flock(2) on a
// lock file named after the device's number, in the directory of the
// program-wide lock ($XDG_RUNTIME_DIR, else one per user in /tmp). The lock
// goes with the process that holds it, however it ends, and works on
// pseudo-terminals as on adapters. A port across the network is locked by
// its HOST:PORT. The holder's process id is in the file,
// so that a run refused can name the run that has the port.
//
// A run takes the lock exclusively for as long as it has the port open. A
// look at the port (probing which ports answer) takes it shared and for a
// moment only: a look never opens a port a run has, and a run that starts
// during a look waits for it rather than fail.
class PortLock {
public:
    enum Result {
        TAKEN,   // ours until release()
        HELD,    // another run has the port (holder() names it when known)
        NO_LOCK  // no lock to take (not a device, no lock file can be made): go on without
    };
    // How long a run waits for looks at its port to end.
    static const int LOOK_WAIT_MS = 2000;

    PortLock() = default;
    ~PortLock() { release(); }
    PortLock(const PortLock&) = delete;
    PortLock& operator=(const PortLock&) = delete;

    // Takes the lock of the device `path` names (links followed); a lock
    // held already is released first.
    Result take(const char* path, bool exclusive);
    // The same for a port across the network, by its "HOST:PORT".
    Result takeNet(const std::string& hostPort, bool exclusive);
    void release();
    bool held() const { return _fd >= 0; }
    // After HELD: the process that has the port; 0 when it cannot be told.
    pid_t holder() const { return _holder; }

    // The lock file of the device `path` names; "" when it names no device.
    static std::string fileFor(const char* path);
    static std::string fileForNet(const std::string& hostPort);

private:
    Result takeFile(const std::string& file, bool exclusive);
    // The pid in the lock file of an exclusive holder; 0 when it cannot be told.
    static pid_t readHolder(int fd);

    int _fd = -1;
    bool _exclusive = false;
    pid_t _holder = 0;
};

#endif
