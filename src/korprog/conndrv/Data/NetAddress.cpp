#include "korprog/conndrv/Data/NetAddress.h"

#include <cctype>
#include <cstring>

namespace {

const char* const SCHEMES[] = {"rfc2217://", "socket://"};

bool startsNoCase(const char* s, const char* prefix)
{
    for (; *prefix; ++s, ++prefix)
        if (std::tolower(static_cast<unsigned char>(*s)) != *prefix) return false;
    return true;
}

bool hostChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
}

} // namespace

bool NetAddress::isNetName(const char* name)
{
    if (!name) return false;
    const char* p = name;
    while (std::isalnum(static_cast<unsigned char>(*p))) ++p;
    return p != name && std::strncmp(p, "://", 3) == 0;
}

bool NetAddress::parse(const char* name, std::string* why)
{
    auto refuse = [&](const std::string& text) {
        if (why) *why = text;
        return false;
    };
    const std::string wanted = "rfc2217://HOST:PORT or socket://HOST:PORT";
    if (!name) return refuse("no name");
    const char* rest = nullptr;
    if (startsNoCase(name, SCHEMES[0])) {
        kind = RFC2217;
        rest = name + std::strlen(SCHEMES[0]);
    } else if (startsNoCase(name, SCHEMES[1])) {
        kind = SOCKET;
        rest = name + std::strlen(SCHEMES[1]);
    } else {
        return refuse("not a network port: " + wanted);
    }
    const char* colon = nullptr;
    if (*rest == '[') {
        const char* close = std::strchr(rest, ']');
        if (!close || close[1] != ':') return refuse("no port after the address: " + wanted);
        host.assign(rest + 1, close);
        for (char c : host)
            if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return refuse("no IPv6 address in []");
        colon = close + 1;
    } else {
        colon = std::strrchr(rest, ':');
        if (!colon) return refuse("no port after the host: " + wanted);
        host.assign(rest, colon);
        for (char c : host)
            if (!hostChar(c)) return refuse("the host holds a character a host name cannot have: " + wanted);
    }
    if (host.empty()) return refuse("no host: " + wanted);
    const char* digits = colon + 1;
    if (!*digits || std::strlen(digits) > 5) return refuse("the port is no number from 1 to 65535");
    long nr = 0;
    for (const char* d = digits; *d; ++d) {
        if (!std::isdigit(static_cast<unsigned char>(*d))) return refuse("the port is no number from 1 to 65535");
        nr = nr * 10 + (*d - '0');
    }
    if (nr < 1 || nr > 65535) return refuse("the port is no number from 1 to 65535");
    port = static_cast<int>(nr);
    return true;
}

std::string NetAddress::hostPort() const
{
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

bool NetAddress::samePort(const NetAddress& other) const
{
    if (port != other.port || host.size() != other.host.size()) return false;
    for (size_t i = 0; i < host.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(host[i])) != std::tolower(static_cast<unsigned char>(other.host[i])))
            return false;
    return true;
}
