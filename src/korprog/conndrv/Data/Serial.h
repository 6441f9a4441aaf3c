#ifndef KORPROG_CONNDRV_DATA_SERIAL_H
#define KORPROG_CONNDRV_DATA_SERIAL_H

#include <memory>
#include <string>

#include "korprog/conndrv/Data/PortLock.h"

class Rfc2217Codec;
class TcpLine;

// One serial port, owned by the connection driver: opened by name with fixed
// line settings, written and read without ever waiting. It knows nothing of
// the protocol: failure shows as the result of the call, and why an open
// failed as openFault().
//
// A device that stops taking bytes (a hung USB adapter, a unit that stopped
// reading) must not stop the program: what the port does not take at once
// waits in a backlog, in order, and goes out as the port takes it (flush()).
// A message that no longer fits the backlog is refused whole, so the line
// never carries part of one.
//
// Port names: "COM1" ... "COM16" stand for /dev/ttyS0 ... /dev/ttyS15; a name
// that starts with '/' is a device path (a pseudo-terminal of the unit
// simulator, a USB adapter by its stable /dev/serial/by-id/ name). Names are
// at most PORTNAME_MAX characters; a longer one is refused, never cut.
//
// "rfc2217://HOST:PORT" and "socket://HOST:PORT" are ports across the
// network (NetAddress): a TCP connection to a device server, read and
// written as the device is, through Rfc2217Codec for the former. The rest
// of the driver does not know the difference: a connection that drops is
// a line lost, as a pulled cable is.
class Serial {
public:
    typedef int Handle;
    static constexpr Handle INVALID_HANDLE = -1;
    static constexpr int PORTNAME_MAX = 255;
    // Bytes waiting for a port that does not take them: two of the largest
    // messages, one partly written and one behind it.
    static constexpr int MAX_BACKLOG = 4096;

    enum Rate { R_9600 = 0, R_19200 = 1, R_38400 = 2, R_56000 = 3 };
    enum Parity { NONE = 0, ODD = 1, EVEN = 2 };
    enum StopBits { ONE = 0, TWO = 1 };
    enum ByteSize { SEVEN = 0, EIGHT = 1 };
    static constexpr int NR_RATES = 4;

    // Why the last open failed, in the terms a user can act on.
    enum OpenFault {
        OPEN_OK = 0,
        NO_PORT_NAME,       // no port chosen
        NO_SUCH_PORT,       // no device by that name (unplugged, mistyped)
        NO_PERMISSION,      // the user may not open it (not in the dialout group)
        PORT_BUSY,          // another program holds it
        PORT_LOCKED,        // another run of this program has it (lockHolder() names it)
        NOT_A_SERIAL_PORT,  // it exists but does not answer as a serial line
        NO_CONNECTION,      // a device server that cannot be reached (openReason() says why)
    };

    Serial();
    ~Serial();
    Serial(const Serial&) = delete;
    Serial& operator=(const Serial&) = delete;

    // 9600 baud, 8 data bits, no parity, one stop bit; true when open.
    bool openPort(const char* port);
    // Opens with the given settings (an open port is closed first); returns
    // the handle, INVALID_HANDLE on failure.
    Handle connect(const char* port, Rate rate, Parity parity, StopBits stopBits, ByteSize byteSize);
    void closePort() { disconnect(); }
    void disconnect();

    // 0 when the port is not open, otherwise sendArray.
    int writePort(const char* bytes, int length);
    // Takes all bytes, behind the backlog: writes what the port takes now
    // and keeps the rest for flush(). Returns length, or 0 when nothing was
    // taken: the line is gone (lineLost()), or the message does not fit the
    // backlog of a port that has stopped taking bytes.
    int sendArray(const char* bytes, int length);
    int sendChar(char c) { return sendArray(&c, 1); }
    // Writes what the port takes of the backlog now; false when the line is
    // gone.
    bool flush();
    // Bytes taken but not yet written.
    int backlog() const { return static_cast<int>(_backlog.size()); }
    // The last write failed because the device is gone (unplugged, the
    // other side of a pseudo-terminal closed), not because it was busy.
    bool lineLost() const { return _lineLost; }

    // -1 when the port is not open or no byte is waiting; otherwise reads
    // min(waiting, maxLength) bytes and returns how many it got. Never waits.
    int readPort(char* buffer, int maxLength);
    // One read of up to length bytes; the number read (0 if not open).
    int getArray(char* buffer, int length);
    char getChar();
    // Bytes waiting in the input queue (0 if not open).
    int getNbrOfBytes();

    // The device has gone: an adapter pulled out, the other side of a
    // pseudo-terminal closed. Never waits.
    bool hungUp() const;

    // Opens only to look whether the port answers (listing the ports): the
    // port lock is taken shared, so that a run starting meanwhile waits
    // for the look instead of failing.
    void lookOnly(bool on) { _lookOnly = on; }
    // After PORT_LOCKED: the process of the run that has the port, 0 when
    // it cannot be told.
    pid_t lockHolder() const { return _portLock.holder(); }

    bool isOpen() const { return _commHd != INVALID_HANDLE; }
    Handle handle() const { return _commHd; }
    const char* port() const { return _port; }
    OpenFault openFault() const { return _openFault; }
    // After NO_CONNECTION: the system's reason ("Connection refused").
    const std::string& openReason() const { return _openReason; }

    // A port across the network (open or not).
    bool network() const { return _network; }
    // An RFC 2217 server has answered all the client asked (at once for
    // raw TCP).
    bool negotiated() const;
    // What the server took, for people; "" for a raw TCP port.
    std::string accepted() const;
    // The address a network port's name was resolved to and connected
    // ("192.0.2.7:4001"); "" before a connection.
    const std::string& peer() const { return _peer; }
    // While a port whose connection dropped is tried again on every poll,
    // a connect is only looked at, never waited for: it goes on from one
    // try to the next (within its 5 s), and the program goes on meanwhile.
    // A connect that failed sets it too: only the first open waits.
    void retrying(bool on) { _retrying = on; }
    // The fault an open failing with errno `err` stands for.
    static OpenFault faultOf(int err);

    // The operating-system device for a port name; false for names that
    // are neither COM1..COM16 nor a path.
    static bool devicePath(const char* port, char* path, int size);

    static const int _intRate[NR_RATES];
    static const int _intParity[3];
    static const int _intStopBits[2];
    static const int _intByteSize[2];

private:
    Handle connectNet(const char* port);
    // Writes what the port takes now: the count, -1 when the line is gone.
    int writeNow(const char* bytes, int length);
    // Takes bytes as they go on the wire, behind the backlog.
    bool sendWire(const char* bytes, int length, int limit);

    char _port[PORTNAME_MAX + 1];
    int _rate;
    char _parity;
    char _stopBits;
    char _byteSize;
    Handle _commHd;
    OpenFault _openFault;
    std::string _backlog;
    bool _lineLost;
    PortLock _portLock;
    bool _lookOnly;
    bool _network;
    bool _peerClosed;  // the server ended the connection
    std::string _openReason;
    std::string _peer;
    std::unique_ptr<Rfc2217Codec> _codec;
    std::unique_ptr<TcpLine> _dialer;
    bool _retrying;
};

#endif
