#ifndef HELM_PLATFORM_BTIMERTICK_H
#define HELM_PLATFORM_BTIMERTICK_H

#include "helm/BDefs.h"

// The runtime's clock: 10 ms ticks from CLOCK_MONOTONIC, wrapping at 2^32.
BTickType bTimerTick();

// Replaces the clock (tests drive time exactly); null restores the real one.
typedef BTickType (*BTickSource)();
void bSetTimerTickSource(BTickSource source);

// Seconds since local midnight, and the local weekday (0 = Sunday).
uint32_t nSecsPastMidnight();
uint8_t dayOfWeek();

// Blocks the calling thread for ms milliseconds.
void bSleepMs(uint32_t ms);

#endif
