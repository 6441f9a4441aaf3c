#ifndef HELM_BMAINLOOP_H
#define HELM_BMAINLOOP_H

#include <functional>

class BMainState;

// The program's one loop: poll input, run scheduler steps until the runtime
// sleeps, then wait for window events; on shutdown, leave the state tree and
// step until the runtime has terminated.
class BMainLoop {
public:
    struct Hooks {
        std::function<void()> pollInput;  // once per pass, before the steps (serial port)
        std::function<void()> afterStep;  // after every step (remote debug console)
        // Once per pass, after the steps: window events, for at most
        // `seconds`. It returns early on a window event and on input.
        std::function<void(double seconds)> waitEvents;
        // Once the program is told to end, passes go on while this says an
        // answer is on its way (the caller bounds how long).
        std::function<bool()> settle;
    };
    // The longest wait of a pass. With nothing to do the runtime wakes only
    // for its next timer, so an idle program stays idle.
    static constexpr double MAX_WAIT_S = 0.5;

    // Runs until `shutdown` is set or the runtime terminated by itself (a
    // second instance), then shuts the main state down.
    static void run(BMainState& mainState, const bool& shutdown, const Hooks& hooks);
    // Steps until the runtime sleeps or has terminated.
    static void runUntilIdle(const Hooks& hooks);
    // How long the pass may wait: until the next timer expires, at most
    // MAX_WAIT_S.
    static double waitTime();
};

#endif
