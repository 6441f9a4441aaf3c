#ifndef HELM_BMAINLOOP_H
#define HELM_BMAINLOOP_H

#include <functional>

class BMainState;

// The program's one loop: poll input, run scheduler steps until the runtime
// sleeps, then wait briefly for window events; on shutdown, leave the state
// tree and step until the runtime has terminated.
class BMainLoop {
public:
    struct Hooks {
        std::function<void()> pollInput;   // once per pass, before the steps (serial port)
        std::function<void()> afterStep;   // after every step (remote debug console)
        std::function<void()> waitEvents;  // once per pass, after the steps (window events)
    };

    // Runs until `shutdown` is set or the runtime terminated by itself (a
    // second instance), then shuts the main state down.
    static void run(BMainState& mainState, const bool& shutdown, const Hooks& hooks);
    // Steps until the runtime sleeps or has terminated.
    static void runUntilIdle(const Hooks& hooks);
};

#endif
