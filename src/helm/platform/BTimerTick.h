#ifndef HELM_PLATFORM_BTIMERTICK_H
#define HELM_PLATFORM_BTIMERTICK_H

#include "helm/BDefs.h"

// The runtime's clock: 10 ms ticks from CLOCK_MONOTONIC, wrapping at 2^32,
// less the time it was held.
BTickType bTimerTick();

// Replaces the clock (tests drive time exactly); null restores the real one.
// The new clock has never been held.
typedef BTickType (*BTickSource)();
void bSetTimerTickSource(BTickSource source);

// Time the runtime must not count. While held (holds nest), the clock stands
// still; once the last hold is released it goes on from where it stood, so
// no timer counts the time in between. A modal dialog holds it: the time a
// person takes to answer one is no time-out's time.
void bTimerTickHold();
void bTimerTickRelease();

// Seconds since local midnight, and the local weekday (0 = Sunday).
uint32_t nSecsPastMidnight();
uint8_t dayOfWeek();

// Milliseconds of the monotonic clock, never held nor replaced: for the
// real time something took (a run, a probe's time-out).
int64_t bMonotonicMs();

// Blocks the calling thread for ms milliseconds.
void bSleepMs(uint32_t ms);

#endif
