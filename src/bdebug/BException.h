#ifndef BDEBUG_BEXCEPTION_H
#define BDEBUG_BEXCEPTION_H

#include <string>

// Program-wide exception sink. Nothing throws: the text is traced and handed
// to the one callback the application may register (for instance to decide
// on a reset, which `_ignoreReset` lets the console suppress).
class BException {
public:
    enum ExceptionType { EXC_INFO = 0, EXC_WARNING = 1, EXC_ERROR = 2, EXC_FATAL = 3 };
    typedef void (*ExceptionCb)(const std::string& text);

    // Traces the text with time stamp and newline, then calls the callback.
    static void exception(ExceptionType type, const std::string& text);
    // Stores the callback only when none is stored yet; true when stored.
    static bool registerExceptionCb(ExceptionCb cb);

    // Set and shown by the "helm ignrst" console command.
    static bool _ignoreReset;

private:
    static ExceptionCb _exceptionCb;
};

#endif
