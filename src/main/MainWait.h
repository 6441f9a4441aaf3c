#ifndef MAIN_MAINWAIT_H
#define MAIN_MAINWAIT_H

#include <initializer_list>
#include <vector>

// The main loop's wait: window events for at most a given time, ended at
// once when input arrives on one of the given descriptors (the serial port,
// the remote console's socket), so an answer from the unit is handled
// without waiting out the rest of the time.
//
// The descriptors are watched during this wait only. Event loops that run
// inside a step (modal dialogs, the wait for the user's firmware choice) do
// not read them and would spin on their input. A descriptor that ends a wait
// with nothing to read (a hung-up line, a closed connection) sits out the
// next wait, so it cannot keep the loop busy.
class MainWait {
public:
    MainWait() = default;
    MainWait(const MainWait&) = delete;
    MainWait& operator=(const MainWait&) = delete;

    // Negative descriptors are skipped. True when input on one of them
    // ended the wait.
    bool wait(double seconds, std::initializer_list<int> fds);

    // A modal dialog opened during the wait (from a window's callback) runs
    // a loop of its own, in which nothing reads the descriptors: their
    // input would keep that loop busy. They are not watched from suspend()
    // until resume(); what came meanwhile is read once the dialog closed.
    void suspend();
    void resume();

private:
    static void onInput(int fd, void* self);

    std::vector<int> _watched;  // during the current wait
    std::vector<int> _resting;  // sit out the next wait
    bool _suspended = false;
    bool _woken = false;
};

#endif
