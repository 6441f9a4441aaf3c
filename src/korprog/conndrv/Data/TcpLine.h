#ifndef KORPROG_CONNDRV_DATA_TCPLINE_H
#define KORPROG_CONNDRV_DATA_TCPLINE_H

#include <cstdint>
#include <functional>
#include <string>

#include "korprog/conndrv/Data/NetAddress.h"

// A TCP connection to a device server, made for the single-threaded
// driver: the socket it gives is non-blocking, so that it is read and
// written as the serial port's descriptor is, never waiting.
class TcpLine {
public:
    // A server that has not taken the connection by then is given up.
    static constexpr int CONNECT_LIMIT_MS = 5000;
    // The clock the limit is counted on, in ms; tests give one of their own.
    typedef std::function<int64_t()> Clock;

    // Connects to the address within limitMs: the socket, or -1 with the
    // system's reason in *why. A signal that arrives meanwhile (the program
    // is told to end) ends the wait.
    static int connect(const NetAddress& address, std::string* why, int limitMs = CONNECT_LIMIT_MS,
                       const Clock& clock = {});
};

#endif
