#include "korvansim/KsimLog.h"

#include <csignal>
#include <system_error>

#include <pthread.h>

KsimLog::KsimLog(std::FILE* out, int64_t startUs) : _out(out), _startUs(startUs) {}

KsimLog::~KsimLog()
{
    if (!_writer.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _stop = true;
    }
    _wake.notify_one();
    _writer.join();
}

std::string KsimLog::stamped(const std::string& text, int64_t nowUs) const
{
    const int64_t t = nowUs - _startUs;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%4lld.%03lld ", static_cast<long long>(t / 1000000),
                  static_cast<long long>((t / 1000) % 1000));
    return stamp + text + "\n";
}

void KsimLog::line(const std::string& text, int64_t nowUs)
{
    std::string l = stamped(text, nowUs);
    if (!_writer.joinable()) {
        std::fputs(l.c_str(), _out);
        std::fflush(_out);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _queue.push_back(std::move(l));
    }
    _wake.notify_one();
}

bool KsimLog::inBackground()
{
    if (_writer.joinable()) return true;
    // Signals stay with the simulator's loop, which waits for them.
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &old);
    try {
        _writer = std::thread([this] { writeAll(); });
    } catch (const std::system_error&) {
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return _writer.joinable();
}

void KsimLog::writeAll()
{
    std::unique_lock<std::mutex> lock(_mutex);
    for (;;) {
        _wake.wait(lock, [this] { return _stop || !_queue.empty(); });
        if (_queue.empty()) return;  // stopped, and everything written
        std::deque<std::string> batch;
        batch.swap(_queue);
        lock.unlock();
        std::string text;
        for (const std::string& l : batch) text += l;
        std::fwrite(text.data(), 1, text.size(), _out);
        std::fflush(_out);
        lock.lock();
    }
}
