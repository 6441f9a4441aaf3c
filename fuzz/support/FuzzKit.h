#ifndef FUZZ_SUPPORT_FUZZKIT_H
#define FUZZ_SUPPORT_FUZZKIT_H

// What the harnesses share: a private working directory (the program opens
// its files by bare name), a clock the harness moves, the scheduler served
// until it rests, dialogs nobody has to answer, and a reader that takes the
// fuzz input apart front to back.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "bdebug/BTrace.h"
#include "helm/BScheduler.h"
#include "helm/platform/BTimerTick.h"
#include "support/ScriptedDialogs.h"

namespace fuzzkit {

// The fuzz input; past its end every read gives zeros or nothing.
class Input {
public:
    Input(const uint8_t* data, size_t size) : _p(data), _end(data + size) {}
    bool empty() const { return _p >= _end; }
    size_t left() const { return static_cast<size_t>(_end - _p); }
    uint8_t byte() { return empty() ? 0 : *_p++; }
    // A number below n (n > 0).
    unsigned pick(unsigned n) { return byte() % n; }
    // At most n bytes.
    std::string bytes(size_t n)
    {
        if (n > left()) n = left();
        std::string s(reinterpret_cast<const char*>(_p), n);
        _p += n;
        return s;
    }
    // A piece whose length is the next byte.
    std::string piece() { return bytes(byte()); }
    // Up to the next byte sep (dropped) or the end.
    std::string upTo(uint8_t sep)
    {
        const uint8_t* q = _p;
        while (q < _end && *q != sep) ++q;
        std::string s(reinterpret_cast<const char*>(_p), static_cast<size_t>(q - _p));
        _p = q < _end ? q + 1 : q;
        return s;
    }
    std::string rest() { return bytes(left()); }

private:
    const uint8_t* _p;
    const uint8_t* _end;
};

// A property every input must keep was broken: a finding.
[[noreturn]] inline void fail(const std::string& what)
{
    std::fprintf(stderr, "fuzz property broken: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

// A fresh directory, the working directory for the rest of the process and
// its place for temporary files; it is removed when the process ends
// normally. In memory where there is a tmpfs: the program syncs what it
// saves, and a disk would make every input wait for that.
inline const std::string& workDir()
{
    static std::string dir;
    if (dir.empty()) {
        std::error_code ec;
        std::string tmpl = std::string(std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : "/tmp") +
                           "/korprog-fuzz-XXXXXX";
        if (!::mkdtemp(&tmpl[0])) fail("no working directory");
        dir = tmpl;
        std::filesystem::current_path(dir);
        ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
        ::setenv("TMPDIR", dir.c_str(), 1);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        });
    }
    return dir;
}

inline void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The runtime's clock, moved by the harness only.
struct Clock {
    static BTickType& now()
    {
        static BTickType t = 1000;
        return t;
    }
    static BTickType read() { return now(); }
    static void install()
    {
        bSetTimerTickSource(&read);
        BScheduler::timerManager().resync();
    }
};

// Steps until no queue holds work; a runtime that never rests is a finding.
inline void drain()
{
    for (int n = 0; BScheduler::activePrio() != 0 || BScheduler::activeQueues(PRIO_BACKGROUND) != 0; ++n) {
        if (n > 200000) fail("the scheduler never rests");
        BScheduler::step();
    }
}

// Dialogs answered from the input's choices, nothing kept.
class Dialogs : public ScriptedDialogs {
public:
    void alert(const std::string&) override {}
    int choice(const std::string&, const char*, const char*, const char*, int safe) override
    {
        return answer < 0 ? safe : answer;
    }
    int answer = -1;
};

}  // namespace fuzzkit

#endif
