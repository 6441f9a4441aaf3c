#ifndef BDEBUG_BTRACE_H
#define BDEBUG_BTRACE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "bdebug/BClientSocketStream.h"
#include "bdebug/TraceDbgConfig.h"
#include "helm/BDefs.h"

class BEvent;
class BRootState;
class BTraceQueueRoot;

// The program's trace facility: one instance, created by the main state.
// It keeps a configuration entry per component (debug level and re-routing
// mode), knows every registered root state, writes trace text to the debug
// stream (the remote console) and the log file, and runs the trace command
// language. When KORPROG_TRACE_STDERR is set, the debug stream is copied to
// standard error.
class BTrace {
public:
    // Debug level bits.
    enum : DebugLevel {
        INIT = 0,
        SIGNAL = 0x0001,
        DATA = 0x0002,
        ST_INT = 0x0004,
        ST_TGT = 0x0008,
        STATE = 0x000C,
        HIGH = 0x0010,
        MED = 0x0020,
        LOW = 0x0040,
        ONENTRY = 0x0080,
        ONEXIT = 0x0100
    };
    // Bytes per line of prtDataArray with the split flag.
    enum { SPLIT_LINE = 164 };

    static BTrace* instance();
    static void destroy();

    // Writes text with an optional "time stamp;" prefix and newline.
    void dbgPrint(const std::string& text, bool withTimeStamp = false, bool withNewline = true);
    // Formats at most 1024 characters, then dbgPrint with time stamp and newline.
    void dbgPrintf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    static const char* timeStamp();
    // One "[...]" line per `count` bytes (per SPLIT_LINE bytes when split);
    // hex: "%02X " per byte, else printable bytes as they are and others as "~%02x~".
    void prtDataArray(const uint8_t* bytes, size_t count, bool hex, bool split);
    void prtDataArray(const std::string& bytes, bool hex);
    void prtDataArray(const std::vector<uint8_t>& bytes, bool hex);

    void registerRootState(bool doRegister, BRootState* root);

    // Executes one command line of the trace command language.
    void procDbgStr(const std::string& line);
    // Executes the lines of the commands file that contain `pattern`;
    // creates the file empty when it is missing.
    void processCommandsFile(const std::string& pattern);

    // Remote debug console. Without a connection its output is dropped.
    static bool connectDebugStream(const std::string& address, int port);
    static void disconnectDebugStream();
    // Executes the first CR LF terminated command of one receive.
    static void parseDebugStream();

    // The log file "dbgTrace.log", emptied on opening.
    bool openDbgLog();
    void closeDbgLog();

    // Applies the re-routing mode of the sending component to a binding
    // event; true when the event must not be delivered normally. The sender
    // keeps its reference in every mode: RERT_QUEUE and RERT_BYPASS take one
    // more for the trace queue.
    bool reRouteEvent(BEvent* event, ModuleId mod, ComponentId comp);

    // Level `level` ORed into every entry and its roots; 0 switches all off.
    void setDbgLvlAll(DebugLevel level);
    // Look-ups; a pointer stays valid until the table changes.
    ConfigTable* findComponent(const std::string& name);
    ConfigTable* findComponent(const std::string& name, ModuleId mod, ComponentId comp);
    ConfigTable* findComponent(ModuleId mod, ComponentId comp);
    BRootState* findInstance(const std::string& name, const std::string& instName);
    void sortConfigTable();
    const std::vector<ConfigTable>& configTable() const { return _configTable; }
    // Number of events waiting in the trace queue.
    unsigned traceQueueCount() const;

    // A "Fatal" line with time stamp (through BException), to both outputs.
    void fatal(const std::string& text);
    // "time stamp;file line text" to both outputs.
    void logReport(const char* file, int line, const std::string& text);

    // Report formats shared by the whole program: the assertion report goes
    // to the debug stream only, the error report also to the log file.
    static void assertReport(const char* file, int line, const char* expr, const std::string& msg);
    static void errorReport(const char* file, int line, const std::string& msg);

    // Writes to the debug stream only (socket, capture, standard error).
    void writeDebugStream(const std::string& text);

    // Test seam: every byte written to the debug stream is appended here too.
    static void capture(std::string* sink) { _capture = sink; }

    static BClientSocketStream debugSocketStream;
    static std::string debugInputBuffer;
    // Where the trace's own notices for a person go (a missing commands
    // file, a remote command echoed): standard output unless standard
    // output carries something else (-json).
    static FILE* noticeOut;
    static const DfltConfigTable _dfltConfigTable[];

private:
    BTrace();
    ~BTrace();
    BTrace(const BTrace&) = delete;
    BTrace& operator=(const BTrace&) = delete;

    void writeLogFile(const std::string& text);
    int findIndex(const std::string& name);
    int findIndex(ModuleId mod, ComponentId comp) const;
    int findIndex(const std::string& name, ModuleId mod, ComponentId comp) const;
    // The command language (BTraceCommands.cpp).
    void printHelp();
    void handleDbgLevel(bool all, const std::vector<std::string>& args, bool on);
    void handleReRout(const std::vector<std::string>& args);
    void handleHelm(const std::vector<std::string>& args);
    void printStateMachines(const std::vector<std::string>& args);
    void handleComponentPrint(const std::vector<std::string>& args);
    // Every root of an entry gets the entry's level.
    static void applyLevel(ConfigTable& entry);
    // Appends root unless the list holds it already.
    static void addRoot(std::vector<BRootState*>& roots, BRootState* root);

    static BTrace* _trace;
    static std::string* _capture;
    static char _timeStamp[64];
    static char _dbgbuff[1024];
    static char _cmdLineStr[256];

    std::vector<ConfigTable> _configTable;
    BTraceQueueRoot* _traceQueueOwner;
    std::ofstream _traceFileStr;
    std::string _logFileName;
    std::string _commandsFile;
    bool _toStderr;
};

#endif
