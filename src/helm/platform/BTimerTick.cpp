#include "helm/platform/BTimerTick.h"

#include <time.h>

namespace {
BTickSource g_source = nullptr;

BTickType monotonicTick()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms = uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
    return BTickType(ms / 10u);
}
}  // namespace

BTickType bTimerTick() { return g_source ? g_source() : monotonicTick(); }

void bSetTimerTickSource(BTickSource source) { g_source = source; }

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
