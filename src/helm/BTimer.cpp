#include "helm/BTimer.h"

#include "bdebug/BAssert.h"
#include "helm/BCompositeState.h"
#include "helm/BEvtQueue.h"
#include "helm/BLocalEvent.h"
#include "helm/BScheduler.h"
#include "helm/BTimerManager.h"
#include "helm/platform/BTimerTick.h"

namespace {
const uint32_t SECS_PER_DAY = 86400;
const uint32_t SECS_PER_WEEK = 604800;
}  // namespace

BTimer::BTimer() : BTimer(nullptr, UNDEF_INTERVAL) {}

BTimer::BTimer(BEvtQueue* queue, InterValType type)
    : _next(nullptr),
      _queue(queue),
      _timeStamp(0),
      _interval(0),
      _armed(false),
      _signal(SIG_UNDEFINED),
      _intvType(type),
      _absoluteTimer(false)
{
}

BTimer::~BTimer() { disarm(); }

void BTimer::arm(BEvtQueue* q, BTickType n, SignalId s)
{
    B_ASSERT(n != 0, "nTicks must not be zero");
    if (_armed) disarm();
    _queue = q;
    _timeStamp = bTimerTick() + n;  // wraps at 2^32; the manager's overflow lists handle that
    _armed = true;
    _signal = s;
    BScheduler::timerManager().enable(this);
}

void BTimer::fireIn(BEvtQueue* q, BTickType n, SignalId s)
{
    _interval = 0;
    _absoluteTimer = false;
    arm(q, n, s);
}

void BTimer::fireEvery(BEvtQueue* q, BTickType n, SignalId s)
{
    _interval = n;
    _absoluteTimer = false;
    arm(q, n, s);
}

void BTimer::load(BTickType n, SignalId s)
{
    if (!_queue || _intvType == UNDEF_INTERVAL) B_FAIL("Invalid settings sig=" << int(s));
    if (_intvType == REPEAT) fireEvery(_queue, n, s);
    else fireIn(_queue, n, s);
}

void BTimer::disarm()
{
    if (!_armed) return;
    BScheduler::timerManager().disable(this);
    _armed = false;
}

bool BTimer::validTime(uint8_t hour, uint8_t min, uint8_t sec)
{
    bool ok = true;
    if (hour >= 24) { B_FAIL("invalid hour"); ok = false; }
    if (min >= 60) { B_FAIL("invalid min"); ok = false; }
    if (sec >= 60) { B_FAIL("invalid sec"); ok = false; }
    return ok;
}

void BTimer::fireAt(BEvtQueue* q, uint8_t hour, uint8_t min, uint8_t sec, SignalId s)
{
    if (!validTime(hour, min, sec)) return;
    fireAt(q, uint32_t(hour) * 3600 + uint32_t(min) * 60 + sec, s);
}

void BTimer::fireAt(BEvtQueue* q, uint32_t secondsOfDay, SignalId s)
{
    const uint32_t now = nSecsPastMidnight();
    secondsOfDay %= SECS_PER_DAY;
    uint32_t wait = secondsOfDay > now ? secondsOfDay - now : SECS_PER_DAY - now + secondsOfDay;
    if (wait == 0) wait = 1;
    fireIn(q, nSecs(wait), s);
}

void BTimer::fireAt(BEvtQueue* q, DayId day, uint8_t hour, uint8_t min, uint8_t sec, SignalId s)
{
    if (!validTime(hour, min, sec)) return;
    fireAt(q, day, uint32_t(hour) * 3600 + uint32_t(min) * 60 + sec, s);
}

void BTimer::fireAt(BEvtQueue* q, DayId day, uint32_t secondsOfDay, SignalId s)
{
    const uint32_t nowInWeek = uint32_t(dayOfWeek()) * SECS_PER_DAY + nSecsPastMidnight();
    const uint32_t atInWeek = uint32_t(day % 7) * SECS_PER_DAY + secondsOfDay % SECS_PER_DAY;
    uint32_t wait = atInWeek > nowInWeek ? atInWeek - nowInWeek : atInWeek + SECS_PER_WEEK - nowInWeek;
    if (wait == 0) wait = 1;
    _interval = 0;
    _absoluteTimer = true;
    arm(q, nSecs(wait), s);
}

void BTimer::fire()
{
    auto* e = new BLocalEvent(_signal, true);
    if (!_queue) {
        e->destroy();  // a timer without queue posts nowhere
        return;
    }
    if (BCompositeState* owner = _queue->owner()) {
        e->moduleId(owner->moduleId());
        e->componentId(owner->componentId());
    }
    if (!_queue->post(e)) e->destroy();
}
