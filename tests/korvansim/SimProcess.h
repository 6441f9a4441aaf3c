#ifndef TESTS_KORVANSIM_SIMPROCESS_H
#define TESTS_KORVANSIM_SIMPROCESS_H

// Starts the built korvansim and plays the program's side against it over
// its pseudo-terminal, with the program's own Serial and protocol building
// blocks. Every wait is a poll with a bounded timeout.

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "korprog/KvprgFrame.h"
#include "korprog/KvprgPacket.h"
#include "korprog/conndrv/Data/Serial.h"
#include "support/TempDir.h"

// Line helpers for the simulator's tests: messages on the line as byte
// strings, a lone byte or a frame.
namespace ksimtest {

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// How often `what` occurs in s (lines of the simulator's log).
inline int count(const std::string& s, const std::string& what)
{
    int n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
    return n;
}

inline std::string byte(uint8_t b) { return std::string(1, static_cast<char>(b)); }
inline std::string str(const KvprgFrame& f) { return std::string(reinterpret_cast<const char*>(f.bytes()), f.size()); }
inline KvprgFrame frame(const std::string& s)
{
    return KvprgFrame(reinterpret_cast<const uint8_t*>(s.data()), static_cast<int>(s.size()));
}
inline KvprgFrame requestFrame(uint8_t type)
{
    KvprgFrame f;
    f.request(type);
    return f;
}

} // namespace ksimtest

class SimProcess {
public:
    SimProcess() : dir(_scratch.path()) {}
    ~SimProcess() { stop(); }
    std::string path(const std::string& name) const { return dir + "/" + name; }
    std::string log() const { return ksimtest::readFile(path("sim.log")); }

    // Starts the simulator; its first line of output is the device path.
    bool start(const std::vector<std::string>& args)
    {
        int out[2];
        if (::pipe(out) != 0) return false;
        std::string logPath = path("sim.log");
        _pid = ::fork();
        if (_pid == 0) {
            ::dup2(out[1], 1);
            ::dup2(::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
            std::vector<char*> argv{const_cast<char*>(KORVANSIM_PATH)};
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(KORVANSIM_PATH, argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        _stdout = out[0];
        std::string line;
        while (line.find('\n') == std::string::npos) {
            struct pollfd p = {_stdout, POLLIN, 0};
            char c[256];
            ssize_t n = ::poll(&p, 1, 5000) > 0 ? ::read(_stdout, c, sizeof c) : 0;
            if (n <= 0) return false;
            line.append(c, static_cast<size_t>(n));
        }
        device = line.substr(0, line.find('\n'));
        return true;
    }

    bool open(const std::string& port = "") { return serial.openPort((port.empty() ? device : port).c_str()); }

    // Exit status once the simulator has ended (its output closed), -1 while it still runs.
    int waitExit(int timeoutMs)
    {
        char c[64];
        bool gone = false;
        for (struct pollfd p = {_stdout, POLLIN, 0}; !gone && ::poll(&p, 1, timeoutMs) > 0;)
            gone = ::read(_stdout, c, sizeof c) <= 0;
        int status = 0;
        if (_pid <= 0 || ::waitpid(_pid, &status, gone ? 0 : WNOHANG) != _pid) return -1;
        _pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    int stop()
    {
        serial.closePort();
        int rc = -1;
        if (_pid > 0) {
            ::kill(_pid, SIGTERM);
            rc = waitExit(5000);
        }
        if (_pid > 0) {
            ::kill(_pid, SIGKILL);
            ::waitpid(_pid, nullptr, 0);
            _pid = -1;
        }
        if (_stdout >= 0) ::close(_stdout);
        _stdout = -1;
        return rc;
    }

    void send(const KvprgFrame& f) { serial.writePort(reinterpret_cast<const char*>(f.bytes()), f.size()); }
    void sendByte(uint8_t b) { serial.sendChar(static_cast<char>(b)); }
    std::string request(uint8_t type)
    {
        send(ksimtest::requestFrame(type));
        return receive();
    }
    // A firmware packet in the program's five writes.
    void sendPacket(const KvprgPacket& p)
    {
        char b[4] = {static_cast<char>(Kvprg::SOH), static_cast<char>(p.number()), static_cast<char>(p.complement()),
                     static_cast<char>(p.checksum())};
        for (int i = 0; i < 3; ++i) serial.writePort(b + i, 1);
        serial.writePort(reinterpret_cast<const char*>(p.data()), Kvprg::PACKET_DATA_SIZE);
        serial.writePort(b + 3, 1);
    }

    // The next message from the unit; empty after `timeoutMs` without input.
    std::string receive(int timeoutMs = 3000)
    {
        for (;;) {
            size_t n = _buf.size() >= 3 ? uint8_t(_buf[2]) + Kvprg::FRAME_OVERHEAD : 0;
            if (!_buf.empty() && lone(uint8_t(_buf[0]))) n = 1;
            if (n > 0 && _buf.size() >= n) {
                std::string m = _buf.substr(0, n);
                _buf.erase(0, n);
                return m;
            }
            struct pollfd p = {serial.handle(), POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) <= 0) return "";
            char b[512];
            for (int got; (got = serial.readPort(b, sizeof b)) > 0;) _buf.append(b, static_cast<size_t>(got));
        }
    }

private:
    TempDir _scratch{"korvansim-test"};  // declared first: dir is in it

public:
    Serial serial;
    std::string device;
    std::string dir;

private:
    static bool lone(uint8_t b) { return b == Kvprg::ACK || b == Kvprg::NAK || b == Kvprg::BOOTLOAD_REQ_BYTE; }

    pid_t _pid = -1;
    int _stdout = -1;
    std::string _buf;
};

#endif
