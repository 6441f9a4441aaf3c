#ifndef BDEBUG_BCLIENTSOCKETSTREAM_H
#define BDEBUG_BCLIENTSOCKETSTREAM_H

#include <netinet/in.h>

#include <string>

// Non-blocking IPv4 TCP client to the remote debug console. Neither sending
// nor receiving ever waits: while the connection is not (yet) up, or after it
// was lost, sends fail and receives deliver nothing. A console that cannot be
// reached (no such host, refused, lost, closed by the console) is said once
// on standard error, and the stream stays unconnected from then on.
class BClientSocketStream {
public:
    // Largest number of bytes one recv() takes.
    enum { RECV_MAX = 500 };

    BClientSocketStream();
    ~BClientSocketStream();
    BClientSocketStream(const BClientSocketStream&) = delete;
    BClientSocketStream& operator=(const BClientSocketStream&) = delete;

    // Starts connecting to a dotted-decimal IPv4 address or a host name
    // (looked up here) and returns without waiting for the outcome; false
    // when no connection could be started.
    bool connect(const std::string& address, int port);
    bool disconnect();
    bool isConnected() const { return _socket >= 0; }
    int socketFd() const { return _socket; }

    // One send of all bytes; false when unconnected or the send failed.
    bool send(const std::string& text);
    // Replaces `text` with at most RECV_MAX received bytes; their count.
    int recv(std::string& text);

    BClientSocketStream& operator<<(const std::string& s);
    BClientSocketStream& operator<<(const char* s);
    BClientSocketStream& operator<<(char c);
    BClientSocketStream& operator<<(unsigned char c);
    BClientSocketStream& operator<<(short v);
    BClientSocketStream& operator<<(unsigned short v);
    BClientSocketStream& operator<<(int v);
    BClientSocketStream& operator<<(unsigned int v);
    BClientSocketStream& operator<<(long v);
    BClientSocketStream& operator<<(unsigned long v);
    BClientSocketStream& operator<<(const void* p);
    BClientSocketStream& operator>>(std::string& text);

private:
    BClientSocketStream& sendf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Says why on standard error and leaves the stream unconnected; false.
    bool unreachable(const char* why);
    // A failed send or receive: anything but "nothing yet" ends the stream.
    void checkFailure(int err);

    int _socket;
    sockaddr_in _address;
    std::string _peer;  // "address:port", for the message
};

#endif
