#include "helm/platform/BTimerTick.h"

#include <time.h>

namespace {
BTickSource g_source = nullptr;
// Ticks of the source that were held, and while held, the source's tick at
// the first hold.
BTickType g_held = 0;
int g_holds = 0;
BTickType g_holdStart = 0;

BTickType monotonicTick() { return BTickType(uint64_t(bMonotonicMs()) / 10u); }
}  // namespace

int64_t bMonotonicMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

static BTickType sourceTick() { return g_source ? g_source() : monotonicTick(); }

BTickType bTimerTick() { return (g_holds > 0 ? g_holdStart : sourceTick()) - g_held; }

void bSetTimerTickSource(BTickSource source)
{
    g_source = source;
    g_held = 0;
    g_holds = 0;
}

void bTimerTickHold()
{
    if (g_holds++ == 0) g_holdStart = sourceTick();
}

void bTimerTickRelease()
{
    if (g_holds == 0) return;
    if (--g_holds == 0) g_held += sourceTick() - g_holdStart;
}

static bool localNow(tm* out)
{
    time_t now = time(nullptr);
    return localtime_r(&now, out) != nullptr;
}

uint32_t nSecsPastMidnight()
{
    tm t{};
    if (!localNow(&t)) return 0;
    return uint32_t(t.tm_hour * 3600 + t.tm_min * 60 + t.tm_sec);
}

uint8_t dayOfWeek()
{
    tm t{};
    if (!localNow(&t)) return 0;
    return uint8_t(t.tm_wday);
}

void bSleepMs(uint32_t ms)
{
    timespec req{time_t(ms / 1000u), long(ms % 1000u) * 1000000L};
    while (nanosleep(&req, &req) != 0) {
    }
}
