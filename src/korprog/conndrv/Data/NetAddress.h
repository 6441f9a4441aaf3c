#ifndef KORPROG_CONNDRV_DATA_NETADDRESS_H
#define KORPROG_CONNDRV_DATA_NETADDRESS_H

#include <string>

// A port across the network, by name: "rfc2217://HOST:PORT" (a device
// server that takes the line's settings, Telnet COM-PORT-OPTION) or
// "socket://HOST:PORT" (raw TCP, the server's settings as they are). HOST
// is a name, an IPv4 address or an IPv6 address in brackets.
class NetAddress {
public:
    enum Kind { RFC2217, SOCKET };

    // Whether the name is meant as a network port (it starts with a scheme
    // and "://"), well formed or not: such a name is never a path.
    static bool isNetName(const char* name);
    // Reads a network port's name; false with why set when it is none.
    bool parse(const char* name, std::string* why = nullptr);

    Kind kind = SOCKET;
    std::string host;  // without brackets
    int port = 0;

    // "HOST:PORT", IPv6 in brackets: the port whatever the scheme.
    std::string hostPort() const;
    // The same device server's port, by whichever scheme.
    bool samePort(const NetAddress& other) const;
};

#endif
