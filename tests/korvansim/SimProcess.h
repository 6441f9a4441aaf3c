#ifndef TESTS_KORVANSIM_SIMPROCESS_H
#define TESTS_KORVANSIM_SIMPROCESS_H

// Starts the built korvansim and plays the program's side against it over
// its pseudo-terminal, with the program's own Serial and protocol building
// blocks. Every wait is a poll with a bounded timeout.

#include <chrono>
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

class SimProcess {
public:
    struct Msg { // one message from the unit: a lone byte or a frame
        bool none = true; // nothing within the timeout
        bool frame = false;
        uint8_t byte = 0;
        KvprgFrame f;
    };

    SimProcess()
    {
        char tmpl[] = "/tmp/korvansim-test-XXXXXX";
        dir = ::mkdtemp(tmpl) ? tmpl : "";
    }
    ~SimProcess()
    {
        stop();
        if (!dir.empty()) (void)std::system(("rm -rf '" + dir + "'").c_str());
    }
    std::string path(const std::string& name) const { return dir + "/" + name; }

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
        auto end = deadline(5000);
        while (line.find('\n') == std::string::npos && left(end) > 0) {
            struct pollfd p = {_stdout, POLLIN, 0};
            char c[256];
            ssize_t n = ::poll(&p, 1, left(end)) > 0 ? ::read(_stdout, c, sizeof c) : 0;
            if (n <= 0) break;
            line.append(c, static_cast<size_t>(n));
        }
        device = line.substr(0, line.find('\n'));
        return line.find('\n') != std::string::npos;
    }

    bool open(const std::string& port = "") { return serial.openPort((port.empty() ? device : port).c_str()); }

    // Exit status once the simulator has ended, -1 while it still runs.
    int waitExit(int timeoutMs)
    {
        auto end = deadline(timeoutMs);
        char c[64];
        struct pollfd p = {_stdout, POLLIN, 0};
        while (left(end) > 0)
            if (::poll(&p, 1, left(end)) > 0 && ::read(_stdout, c, sizeof c) <= 0) break; // output closed: gone
        int status = 0;
        if (_pid <= 0 || ::waitpid(_pid, &status, left(end) > 0 ? 0 : WNOHANG) != _pid) return -1;
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

    std::string log() const
    {
        std::ifstream in(path("sim.log"));
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    void send(const KvprgFrame& f) { serial.writePort(reinterpret_cast<const char*>(f.bytes()), f.size()); }
    void sendByte(uint8_t b) { serial.sendChar(static_cast<char>(b)); }
    Msg request(uint8_t type)
    {
        KvprgFrame f;
        f.request(type);
        send(f);
        return receive();
    }
    // A firmware packet in the program's five writes.
    void sendPacket(const KvprgPacket& p)
    {
        char b[4] = {static_cast<char>(Kvprg::SOH), static_cast<char>(p.number()), static_cast<char>(p.complement()),
                     static_cast<char>(p.checksum())};
        serial.writePort(b, 1);
        serial.writePort(b + 1, 1);
        serial.writePort(b + 2, 1);
        serial.writePort(reinterpret_cast<const char*>(p.data()), Kvprg::PACKET_DATA_SIZE);
        serial.writePort(b + 3, 1);
    }

    // The next message from the unit; stray bytes are counted in `garbage`.
    Msg receive(int timeoutMs = 3000)
    {
        Msg m;
        auto end = deadline(timeoutMs);
        for (;;) {
            while (!_buf.empty() && _buf[0] != Kvprg::SOH && !lone(_buf[0])) {
                _buf.erase(_buf.begin());
                ++garbage;
            }
            size_t n = _buf.empty() ? 0 : lone(_buf[0]) ? 1 : _buf.size() >= 3 ? _buf[2] + Kvprg::FRAME_OVERHEAD : 0;
            if (n > 0 && _buf.size() >= n) {
                m.none = false;
                m.frame = n > 1;
                m.byte = _buf[0];
                m.f = KvprgFrame(_buf.data(), static_cast<int>(n));
                _buf.erase(_buf.begin(), _buf.begin() + static_cast<long>(n));
                return m;
            }
            if (left(end) <= 0) return m;
            struct pollfd p = {serial.handle(), POLLIN, 0};
            ::poll(&p, 1, left(end));
            char b[512];
            int got;
            while ((got = serial.readPort(b, sizeof b)) > 0) _buf.insert(_buf.end(), b, b + got);
        }
    }

    Serial serial;
    std::string device;
    std::string dir;
    int garbage = 0;

private:
    static bool lone(uint8_t b) { return b == Kvprg::ACK || b == Kvprg::NAK || b == Kvprg::BOOTLOAD_REQ_BYTE; }
    static std::chrono::steady_clock::time_point deadline(int ms)
    {
        return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    }
    static int left(std::chrono::steady_clock::time_point end)
    {
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
        return ms > 0 ? static_cast<int>(ms) : 0;
    }

    pid_t _pid = -1;
    int _stdout = -1;
    std::vector<uint8_t> _buf;
};

#endif
