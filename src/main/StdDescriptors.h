#ifndef MAIN_STDDESCRIPTORS_H
#define MAIN_STDDESCRIPTORS_H

// Started with standard input, output or error closed (as some service
// managers and cron set-ups do), the first file the program opens would take
// that number: the serial port as descriptor 2 would get the status text,
// the lock file as descriptor 1 the JSON events. Each closed one is opened
// on /dev/null before anything else is opened.
class StdDescriptors {
public:
    // False when one of them could not be opened.
    static bool ensureOpen();
};

#endif
