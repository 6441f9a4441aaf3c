#include "korprog/runlog/RunEvents.h"

#include <cstring>
#include <ctime>

#include "helm/platform/BTimerTick.h"
#include "korprog/runlog/WholeWrite.h"

RunEvents::Clock RunEvents::systemClock()
{
    Clock c;
    c.wallMs = &JsonLine::wallClockMs;
    c.monotonicMs = &bMonotonicMs;
    return c;
}

RunEvents::RunEvents(int fd, Clock clock)
    : _fd(fd), _clock(std::move(clock)), _startMs(_clock.monotonicMs()), _ended(false), _total(-1), _firstMs(0),
      _firstDone(0), _lastMs(0), _lastTenth(-1)
{
}

RunEvents::~RunEvents()
{
    // A path that forgot its end still ends the stream as a failure.
    finish(1, "other", "");
}

JsonLine RunEvents::event(const char* name) const
{
    JsonLine j;
    j.str("event", name).str("time", JsonLine::isoTime(_clock.wallMs()));
    // The start event has a port of its own.
    if (!_port.empty() && std::strcmp(name, "start") != 0) j.str("port", _port);
    return j;
}

void RunEvents::write(const JsonLine& line)
{
    if (_ended) return;
    // A reader that went away must not stop the run: the unit's work goes on.
    (void)wholeWrite(_fd, line.line());
}

void RunEvents::start(const std::string& mode, const std::string& port, const std::vector<std::string>& inputs)
{
    _startMs = _clock.monotonicMs();
    write(event("start").str("mode", mode).strOrNull("port", port).strings("inputs", inputs));
}

void RunEvents::unit(const UnitIdentity& id)
{
    write(event("unit").members(id.json()));
}

void RunEvents::backup(const std::string& file)
{
    write(event("backup").str("file", file));
}

int RunEvents::tenth(int64_t done, int64_t total)
{
    if (total <= 0 || done >= total) return 10;
    return done <= 0 ? 0 : static_cast<int>(done * 10 / total);
}

void RunEvents::progress(int64_t done, int64_t total, const char* what)
{
    const int64_t now = _clock.monotonicMs();
    if (_what != what || total != _total) {
        _what = what;
        _total = total;
        _firstMs = now;
        _firstDone = done;
        _lastTenth = -1;
    }
    const int t = tenth(done, total);
    if (_lastTenth >= 0 && t <= _lastTenth && now - _lastMs < PROGRESS_INTERVAL_MS) return;
    _lastMs = now;
    _lastTenth = t;

    JsonLine line = event("progress");
    line.num("done", done).num("total", total).str("what", what);
    const int64_t moved = done - _firstDone, elapsed = now - _firstMs;
    if (done >= total)
        line.num("eta_s", 0);
    else if (moved > 0 && elapsed > 0)
        line.num("eta_s", ((total - done) * elapsed + moved * 1000 - 1) / (moved * 1000));
    else
        line.null("eta_s");
    write(line);
}

void RunEvents::verify(bool ok, const std::vector<EntryDifference>& differences, const std::string& heldBy)
{
    write(event("verify").members(EntryDifference::verdict(ok, differences, heldBy)));
}

void RunEvents::end(int exitCode, const std::string& kind, const std::string& reason, double durationS,
                    const std::string* file)
{
    JsonLine line = event("end");
    line.str("result", exitCode == 0 ? "ok" : "failed")
        .num("exit", exitCode)
        .strOrNull("kind", kind)
        .strOrNull("reason", reason)
        .real("duration_s", durationS);
    if (file) line.strOrNull("file", *file);
    write(line);
    _ended = true;
}

void RunEvents::finish(int exitCode, const std::string& kind, const std::string& reason)
{
    end(exitCode, kind, reason, static_cast<double>(_clock.monotonicMs() - _startMs) / 1000.0);
}
