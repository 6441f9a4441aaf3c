#include "korprog/conndrv/Data/Serial.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include "korprog/StringUtils.h"
#include "korprog/conndrv/Data/NetAddress.h"
#include "korprog/conndrv/Data/Rfc2217Codec.h"
#include "korprog/conndrv/Data/TcpLine.h"

const int Serial::_intRate[NR_RATES] = {9600, 19200, 38400, 56000};
const int Serial::_intParity[3] = {0, 1, 2};
// One and two stop bits in the coding the line settings were first written in.
const int Serial::_intStopBits[2] = {0, 2};
const int Serial::_intByteSize[2] = {7, 8};

namespace {

const int MAX_COM = 16;

bool speedOf(int rate, speed_t* speed)
{
    switch (rate) {
    case 9600: *speed = B9600; return true;
    case 19200: *speed = B19200; return true;
    case 38400: *speed = B38400; return true;
    default: return false; // 56000 has no termios speed; refuse rather than run at another rate
    }
}

} // namespace

Serial::Serial()
    : _rate(9600),
      _parity(0),
      _stopBits(0),
      _byteSize(8),
      _commHd(INVALID_HANDLE),
      _openFault(NO_PORT_NAME),
      _lineLost(false),
      _lookOnly(false),
      _network(false),
      _peerClosed(false),
      _retrying(false)
{
    _port[0] = '\0';
}

Serial::~Serial()
{
    disconnect();
}

Serial::OpenFault Serial::faultOf(int err)
{
    switch (err) {
    case 0: return OPEN_OK;
    case EACCES:
    case EPERM:
    case EROFS: return NO_PERMISSION;
    case EBUSY:
    case EWOULDBLOCK: return PORT_BUSY;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
    case ENAMETOOLONG: return NO_SUCH_PORT;
    default: return NOT_A_SERIAL_PORT;  // EIO from a ttyS without hardware, ENOTTY from a plain file
    }
}

bool Serial::devicePath(const char* port, char* path, int size)
{
    if (!port || !path || size <= 0) return false;
    path[0] = '\0';
    if (port[0] == '/') {
        int n = std::snprintf(path, static_cast<size_t>(size), "%s", port);
        return n > 0 && n < size;
    }
    if (std::toupper(static_cast<unsigned char>(port[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(port[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(port[2])) != 'M')
        return false;
    const char* digits = port + 3;
    if (!std::isdigit(static_cast<unsigned char>(digits[0])) || digits[0] == '0') return false;
    int nr = 0;
    for (const char* p = digits; *p; ++p) {
        if (!std::isdigit(static_cast<unsigned char>(*p)) || p - digits >= 2) return false;
        nr = nr * 10 + (*p - '0');
    }
    if (nr < 1 || nr > MAX_COM) return false;
    int n = std::snprintf(path, static_cast<size_t>(size), "/dev/ttyS%d", nr - 1);
    return n > 0 && n < size;
}

bool Serial::openPort(const char* port)
{
    return connect(port, R_9600, NONE, ONE, EIGHT) != INVALID_HANDLE;
}

Serial::Handle Serial::connect(const char* port, Rate rate, Parity parity, StopBits stopBits, ByteSize byteSize)
{
    disconnect();
    _openFault = NO_PORT_NAME;
    if (!port || port[0] == '\0') return INVALID_HANDLE;
    _openFault = NO_SUCH_PORT;
    if (std::strlen(port) > static_cast<size_t>(PORTNAME_MAX)) return INVALID_HANDLE;
    _network = false;
    _openReason.clear();
    _peer.clear();
    if (NetAddress::isNetName(port)) return connectNet(port);
    _openFault = NOT_A_SERIAL_PORT;
    if (rate < R_9600 || rate > R_56000 || parity < NONE || parity > EVEN || stopBits < ONE || stopBits > TWO ||
        byteSize < SEVEN || byteSize > EIGHT)
        return INVALID_HANDLE;

    char path[PORTNAME_MAX + 1];
    if (!devicePath(port, path, sizeof path)) {
        _openFault = NO_SUCH_PORT;
        return INVALID_HANDLE;
    }
    StringUtils::copyTo(_port, port);
    _rate = _intRate[rate];
    _parity = static_cast<char>(_intParity[parity]);
    _stopBits = static_cast<char>(_intStopBits[stopBits]);
    _byteSize = static_cast<char>(_intByteSize[byteSize]);

    speed_t speed;
    if (!speedOf(_rate, &speed)) return INVALID_HANDLE;

    // Before the device is opened: it refuses a second open while a run has
    // it, and would only show as busy, without naming that run.
    if (_portLock.take(path, !_lookOnly) == PortLock::HELD) {
        _openFault = PORT_LOCKED;
        return INVALID_HANDLE;
    }

    // Non-blocking for good: an open without carrier, and every write to a
    // device that has stopped taking bytes, return at once.
    int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        _openFault = faultOf(errno);
        _portLock.release();
        return INVALID_HANDLE;
    }

    int err = 0;
    bool exclusive = false;
    struct termios tio;
    // No sharing: other cooperating programs see the advisory lock, and
    // TIOCEXCL refuses further opens of the device.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) err = errno;
    if (!err && ::ioctl(fd, TIOCEXCL) != 0) err = errno;
    exclusive = !err;
    if (!err && ::tcgetattr(fd, &tio) != 0) err = errno;
    if (!err) {
        ::cfmakeraw(&tio);
        tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL);
        tio.c_cflag |= CLOCAL | CREAD | (_byteSize == 7 ? CS7 : CS8);
        if (_parity != 0) tio.c_cflag |= PARENB | (_parity == 1 ? PARODD : 0);
        if (_stopBits == 2) tio.c_cflag |= CSTOPB;
        tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
        if (_parity != 0) tio.c_iflag |= INPCK;
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0) err = EINVAL;
    }
    if (!err && ::tcsetattr(fd, TCSANOW, &tio) != 0) err = errno;
    if (err) {
        // Our exclusivity must not outlive the failed open (a pseudo-terminal
        // keeps it while its other side is open); another holder's stays.
        if (exclusive) (void)::ioctl(fd, TIOCNXCL);
        ::close(fd);
        _portLock.release();
        _openFault = faultOf(err);
        return INVALID_HANDLE;
    }
    // RTS held on, DTR off. A pseudo-terminal has no modem lines and refuses
    // these; that is no reason to refuse the port.
    int rts = TIOCM_RTS;
    int dtr = TIOCM_DTR;
    (void)::ioctl(fd, TIOCMBIS, &rts);
    (void)::ioctl(fd, TIOCMBIC, &dtr);

    _commHd = fd;
    _openFault = OPEN_OK;
    _lineLost = false;
    return _commHd;
}

Serial::Handle Serial::connectNet(const char* port)
{
    NetAddress address;
    if (!address.parse(port, &_openReason)) {
        _openFault = NO_SUCH_PORT;
        return INVALID_HANDLE;
    }
    _network = true;
    StringUtils::copyTo(_port, port);
    // One run per device server's port, by whichever scheme it is named.
    if (_portLock.takeNet(address.hostPort(), !_lookOnly) == PortLock::HELD) {
        _openFault = PORT_LOCKED;
        return INVALID_HANDLE;
    }
    if (!_dialer) _dialer.reset(new TcpLine());
    const TcpLine::Step step = _dialer->connect(address, _retrying ? 0 : TcpLine::CONNECT_LIMIT_MS, &_openReason);
    if (step != TcpLine::CONNECTED) {
        if (step == TcpLine::PENDING) _openReason = std::strerror(EINPROGRESS);
        _openFault = NO_CONNECTION;
        // Once is enough to wait for a server that is not there: the next
        // tries (every write, every poll) only look, until a port is chosen anew.
        _retrying = true;
        _portLock.release();
        return INVALID_HANDLE;
    }
    const int fd = _dialer->take();
    sockaddr_storage at{};
    socklen_t len = sizeof at;
    char host[NI_MAXHOST], service[NI_MAXSERV];
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&at), &len) == 0 &&
        ::getnameinfo(reinterpret_cast<sockaddr*>(&at), len, host, sizeof host, service, sizeof service,
                      NI_NUMERICHOST | NI_NUMERICSERV) == 0)
        _peer = (std::strchr(host, ':') ? "[" + std::string(host) + "]" : std::string(host)) + ":" + service;
    _commHd = fd;
    _openFault = OPEN_OK;
    _lineLost = false;
    _peerClosed = false;
    if (address.kind == NetAddress::RFC2217) {
        _codec.reset(new Rfc2217Codec());
        const std::string hello = _codec->start();
        sendWire(hello.data(), static_cast<int>(hello.size()), 2 * MAX_BACKLOG);
    }
    return _commHd;
}

bool Serial::negotiated() const
{
    return !_codec || _codec->settled();
}

std::string Serial::accepted() const
{
    return _codec ? _codec->accepted() : "";
}

void Serial::disconnect()
{
    if (_commHd != INVALID_HANDLE) {
        // A close waits until the device has sent what it holds. What waits
        // here shows that it has stopped taking bytes: then what it holds is
        // dropped, or the close would keep the program for as long as the
        // device's driver allows. Otherwise the last message still goes out.
        if (!_network && !_backlog.empty()) (void)::tcflush(_commHd, TCOFLUSH);
        // A pseudo-terminal keeps its exclusive flag across a close while its
        // other side stays open; drop it so the next open is not refused.
        if (!_network) (void)::ioctl(_commHd, TIOCNXCL);
        ::close(_commHd);
        _commHd = INVALID_HANDLE;
    }
    // After the device is closed: a run waiting for the lock opens it next.
    _portLock.release();
    // Bytes the port never took belong to this connection only.
    _backlog.clear();
    _codec.reset();
    _peerClosed = false;
}

int Serial::writePort(const char* bytes, int length)
{
    if (!isOpen()) return 0;
    return sendArray(bytes, length);
}

int Serial::writeNow(const char* bytes, int length)
{
    int done = 0;
    while (done < length) {
        // A server that went away must not end the program by SIGPIPE.
        const ssize_t n = _network ? ::send(_commHd, bytes + done, static_cast<size_t>(length - done), MSG_NOSIGNAL)
                                   : ::write(_commHd, bytes + done, static_cast<size_t>(length - done));
        if (n > 0) {
            done += static_cast<int>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
            break;  // full for now
        } else {
            _lineLost = true;
            return -1;
        }
    }
    return done;
}

bool Serial::flush()
{
    if (!isOpen()) return false;
    if (_backlog.empty()) return true;
    const int n = writeNow(_backlog.data(), backlog());
    if (n < 0) return false;
    _backlog.erase(0, static_cast<size_t>(n));
    return true;
}

int Serial::sendArray(const char* bytes, int length)
{
    if (!isOpen() || !bytes || length <= 0) return 0;
    if (_codec) {
        // Doubled 0xFF bytes make a message up to twice as long on the wire.
        const std::string wire = Rfc2217Codec::encode(bytes, length);
        return sendWire(wire.data(), static_cast<int>(wire.size()), 2 * MAX_BACKLOG) ? length : 0;
    }
    return sendWire(bytes, length, MAX_BACKLOG) ? length : 0;
}

bool Serial::sendWire(const char* bytes, int length, int limit)
{
    // Behind what waits already, never ahead of it.
    if (!flush()) return false;
    if (!_backlog.empty()) {
        if (backlog() + length > limit) return false;
        _backlog.append(bytes, static_cast<size_t>(length));
        return true;
    }
    const int n = writeNow(bytes, length);
    if (n < 0) return false;
    _backlog.append(bytes + n, static_cast<size_t>(length - n));
    return true;
}

int Serial::readPort(char* buffer, int maxLength)
{
    if (!isOpen() || !buffer || maxLength <= 0) return -1;
    int waiting = getNbrOfBytes();
    if (waiting <= 0) return -1;
    int n = getArray(buffer, waiting < maxLength ? waiting : maxLength);
    return n > 0 ? n : -1;
}

int Serial::getArray(char* buffer, int length)
{
    if (!isOpen() || !buffer || length <= 0) return 0;
    ssize_t n;
    do {
        n = ::read(_commHd, buffer, static_cast<size_t>(length));
    } while (n < 0 && errno == EINTR);
    if (n == 0 && _network) _peerClosed = true;
    if (n <= 0) return 0;
    // A server that sends the unit's bytes in small pieces waits for our
    // acknowledgement of each before the next (Nagle): acknowledged at once,
    // not after the kernel's delay, they arrive at the unit's own pace. The
    // kernel drops the option now and then, so it is set after every read.
    if (_network) {
        const int on = 1;
        (void)::setsockopt(_commHd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
    }
    if (!_codec) return static_cast<int>(n);
    // In place: the unit's bytes are never more than the wire's.
    std::string reply;
    const int got = _codec->decode(buffer, static_cast<int>(n), buffer, reply);
    if (!reply.empty()) (void)sendWire(reply.data(), static_cast<int>(reply.size()), 2 * MAX_BACKLOG);
    return got;
}

char Serial::getChar()
{
    char c = 0;
    getArray(&c, 1);
    return c;
}

int Serial::getNbrOfBytes()
{
    if (!isOpen()) return 0;
    int waiting = 0;
    if (::ioctl(_commHd, FIONREAD, &waiting) != 0) return 0;
    return waiting;
}

bool Serial::hungUp() const
{
    if (!isOpen()) return false;
    if (_peerClosed) return true;
    struct pollfd p = {_commHd, static_cast<short>(POLLIN | (_network ? POLLRDHUP : 0)), 0};
    if (::poll(&p, 1, 0) < 0) return false;
    if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) return true;
    // A server that closed after its last bytes: gone once they are read.
    int waiting = 0;
    return (p.revents & POLLRDHUP) && ::ioctl(_commHd, FIONREAD, &waiting) == 0 && waiting == 0;
}
