#ifndef TESTS_SUPPORT_SER2NETSERVER_H
#define TESTS_SUPPORT_SER2NETSERVER_H

// A device server in front of simulated units: ser2net (not of our making)
// on 127.0.0.1, with a configuration file of the test's own and free ports,
// stopped with the test. Every wait is a bounded poll on what can be seen.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/TempDir.h"

// A TCP port on 127.0.0.1 that nothing listens on at the moment.
inline int freeTcpPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    if (fd >= 0) ::close(fd);
    return port;
}

// Whether something listens on 127.0.0.1:port (from /proc, without
// connecting: a connection would open the device behind it).
inline bool listening(int port)
{
    std::ifstream tcp("/proc/net/tcp");
    std::string line;
    char want[16];
    std::snprintf(want, sizeof want, "0100007F:%04X", port);
    while (std::getline(tcp, line)) {
        std::istringstream words(line);
        std::string slot, local, remote, state;
        words >> slot >> local >> remote >> state;
        if (local == want && state == "0A") return true;
    }
    return false;
}

// A server on 127.0.0.1 that takes no connection: once its queue is full,
// a connect to it is never answered (as a host that drops it).
struct DeafServer {
    DeafServer()
    {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd, 0);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
        for (int k = 0; k < 4; ++k) {
            const int c = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            ::connect(c, reinterpret_cast<sockaddr*>(&a), sizeof a);
            fillers.push_back(c);
        }
    }
    ~DeafServer()
    {
        for (int c : fillers) ::close(c);
        ::close(fd);
    }
    DeafServer(const DeafServer&) = delete;
    DeafServer& operator=(const DeafServer&) = delete;
    int fd = -1, port = 0;
    std::vector<int> fillers;
};

class Ser2netServer {
public:
    static constexpr const char* PROGRAM = "/usr/sbin/ser2net";
    static bool available() { return ::access(PROGRAM, X_OK) == 0; }

    ~Ser2netServer() { stop(); }

    // One port in front of a device: RFC 2217 or raw TCP.
    struct Port {
        std::string device;
        bool rfc2217 = true;
        int port = 0;
        std::string name() const { return (rfc2217 ? "rfc2217://127.0.0.1:" : "socket://127.0.0.1:") + std::to_string(port); }
    };
    // Adds a port (a free one) and returns its name for -port.
    std::string serve(const std::string& device, bool rfc2217)
    {
        ports.push_back({device, rfc2217, freeTcpPort()});
        return ports.back().name();
    }

    // The configuration a user would write for these ports.
    std::string configuration() const
    {
        std::string yaml = "%YAML 1.1\n---\n";
        int k = 0;
        for (const Port& p : ports) {
            yaml += "connection: &unit" + std::to_string(k++) + "\n";
            yaml += std::string("  accepter: ") + (p.rfc2217 ? "telnet(rfc2217),tcp," : "tcp,") + "127.0.0.1," +
                    std::to_string(p.port) + "\n";
            yaml += "  connector: serialdev," + p.device + ",9600n81,local\n";
            yaml += "  options:\n    mdns: false\n    chardelay: false\n";
        }
        return yaml;
    }

    // Starts ser2net and waits until every port listens.
    bool start()
    {
        const std::string config = _dir.path() + "/ser2net.yaml";
        std::ofstream(config) << configuration();
        const std::string log = _dir.path() + "/ser2net.log";
        _pid = ::fork();
        if (_pid == 0) {
            const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(out, 1);
            ::dup2(out, 2);
            ::execl(PROGRAM, PROGRAM, "-n", "-c", config.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (_pid < 0) return false;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end) {
            bool all = true;
            for (const Port& p : ports) all = all && listening(p.port);
            if (all) return true;
            int status = 0;
            if (::waitpid(_pid, &status, WNOHANG) == _pid) {
                _pid = -1;
                return false;
            }
            ::poll(nullptr, 0, 10);
        }
        return false;
    }
    // Ends ser2net (its connections with it) and waits for it.
    void stop()
    {
        if (_pid <= 0) return;
        ::kill(_pid, SIGTERM);
        int status = 0;
        ::waitpid(_pid, &status, 0);
        _pid = -1;
    }
    bool running() const { return _pid > 0; }

    std::vector<Port> ports;

private:
    TempDir _dir{"korprog-ser2net"};
    pid_t _pid = -1;
};

#endif
