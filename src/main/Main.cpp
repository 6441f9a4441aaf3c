#include "main/Main.h"

#include <string>

#include "bdebug/BTrace.h"
#include "korprog/RunFailure.h"
#include "korprog/runlog/RunLog.h"
#include "korprog/progctrl/States/KvctrlRoot.h"

const char* Main::_dbgAddr = "";
int Main::_dbgPort = 0;
char Main::_progDataDir[2048] = "";
char Main::_revpacksDir[2048] = "";
bool Main::_wsStartupDll = true;  // sockets need no library start-up here
bool Main::_shutdown = false;
int Main::_exitCode = 0;
const char* Main::_refPackFile = nullptr;

int Main::exitCode()
{
    const RunFailure& failure = RunFailure::ofRun();
    if (!failure.failed()) return _exitCode;
    // The window's start keeps its one failure code.
    return RunLog::begun() ? RunFailure::exitCode(failure.kind) : 1;
}

void Main::onEntry(const BEvent*)
{
    if (_dbgPort != 0) BTrace::connectDebugStream(_dbgAddr, _dbgPort);
    addRegion(new KvctrlRoot());
}

void Main::onExit(const BEvent*)
{
    if (_dbgPort != 0) {
        BTrace::instance()->dbgPrint("Exit code:" + std::to_string(exitCode()), true, true);
        BTrace::disconnectDebugStream();
    }
}
