#ifndef KORVANSIM_KSIMRX_H
#define KORVANSIM_KSIMRX_H

#include <string>

#include <sys/types.h>

// An outside XMODEM receiver (lrzsz `rx -X`) on a pseudo-terminal of its
// own, for the image phase of the --rx option: the simulator relays what the
// program sends to it and its answers back. The simulator holds the
// terminal's other end too, so what the receiver wrote before it exits stays
// on the line, as bytes a unit has sent do.
class KsimRx {
public:
    KsimRx() = default;
    // A receiver still running is ended.
    ~KsimRx();
    KsimRx(const KsimRx&) = delete;
    KsimRx& operator=(const KsimRx&) = delete;

    // Starts `program -X -b -y -q -t 20 file` in the file's directory;
    // false with *error.
    bool start(const std::string& program, const std::string& file, std::string* error);
    bool running() const { return _pid > 0; }
    int fd() const { return _master; }
    bool writePending() const { return !_pending.empty(); }
    // Bytes for the receiver; what its terminal does not take yet waits.
    void write(const std::string& bytes);
    // What the receiver wrote since the last call. Once it has exited and
    // all it wrote is read: *ended, and *status its exit status (128 + the
    // signal that ended it).
    std::string read(bool* ended, int* status);

private:
    void flush();
    void closeAll();

    int _master = -1;
    int _slave = -1;
    pid_t _pid = -1;
    std::string _pending;
};

#endif
