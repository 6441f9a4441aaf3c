#ifndef KORPROG_CONNDRV_DATA_TCPLINE_H
#define KORPROG_CONNDRV_DATA_TCPLINE_H

#include <netdb.h>

#include <cstdint>
#include <functional>
#include <string>

#include "korprog/conndrv/Data/NetAddress.h"

// A TCP connection to a device server, made for the single-threaded
// driver: the socket it gives is non-blocking, so that it is read and
// written as the serial port's descriptor is, never waiting.
//
// A connect may be waited for (the first open of a port, which must say
// whether the server is there) or only looked at (a port opened again
// after its connection dropped, tried on every poll: a server that does
// not answer must not stop the program each time). An attempt that does
// not complete goes on at the next call for the same address, within one
// limit of CONNECT_LIMIT_MS from its start.
class TcpLine {
public:
    static constexpr int CONNECT_LIMIT_MS = 5000;
    // The clock the limit is counted on, in ms; tests give one of their own.
    typedef std::function<int64_t()> Clock;
    enum Step { CONNECTED, PENDING, FAILED };

    explicit TcpLine(Clock clock = {});
    ~TcpLine() { abandon(); }
    TcpLine(const TcpLine&) = delete;
    TcpLine& operator=(const TcpLine&) = delete;

    // Begins a connect to the address, or goes on with the one begun, and
    // waits for it at most waitMs. CONNECTED: take() has the socket;
    // FAILED: *why has the system's reason (refused, no such host, or no
    // answer within the limit).
    Step connect(const NetAddress& address, int waitMs, std::string* why);
    // The connected socket, the caller's from now on.
    int take();
    // Ends an attempt in progress.
    void abandon();

private:
    // Starts the connect to the next address the name has; false when none is left.
    bool startNext(std::string* why);

    Clock _clock;
    std::string _key;  // the address of the attempt in progress
    addrinfo* _found = nullptr;
    const addrinfo* _next = nullptr;
    int _fd = -1;
    bool _connected = false;
    int64_t _started = 0;
};

#endif
