#ifndef BDEBUG_BTRACE_H
#define BDEBUG_BTRACE_H

#include <cstdint>
#include <string>

#include "helm/BDefs.h"

class BEvent;
class BRootState;

// The program's trace facility: one instance, created by the main state.
// Text goes to the debug stream and the log file; until the remote console
// and the log file are wired in, text goes to the capture string (tests) and,
// when KORPROG_TRACE_STDERR is set, to standard error.
class BTrace {
public:
    static BTrace* instance();
    static void destroy();

    // Writes text with an optional "time stamp;" prefix and newline.
    void dbgPrint(const std::string& text, bool withTimeStamp = false, bool withNewline = true);
    // Formats at most 1024 characters, then dbgPrint with time stamp and newline.
    void dbgPrintf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    static const char* timeStamp();

    void registerRootState(bool doRegister, BRootState* root);

    // Executes one command line of the trace command language.
    void procDbgStr(const std::string& line);
    // Applies the re-routing mode of the sending component to a binding
    // event; true when the event must not be delivered normally.
    bool reRouteEvent(BEvent* event, ModuleId mod, ComponentId comp);
    // A "Fatal" line: with time stamp, to the debug stream and the log.
    void fatal(const std::string& text);
    // "time stamp file line text" to the debug stream and the log.
    void logReport(const char* file, int line, const std::string& text);

    // Report formats shared by the whole program.
    static void assertReport(const char* file, int line, const char* expr, const std::string& msg);
    static void errorReport(const char* file, int line, const std::string& msg);

    // Test seam: every byte written to the debug stream is appended here too.
    static void capture(std::string* sink) { _capture = sink; }

private:
    BTrace();
    ~BTrace();
    void writeDebugStream(const std::string& text);

    static BTrace* _trace;
    static std::string* _capture;
    bool _toStderr;
};

#endif
