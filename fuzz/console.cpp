// Command lines of the trace language, as the remote debug console and the
// trace commands file give them, against the running program: the driver,
// the parser and a connected controller, so that every print command
// reaches a state machine with something to print. The input
// is a byte of choices and lines: with bit 0 of the choices the lines are
// the trace commands file instead, run for the lines that hold "lvl" as at
// start-up; with bit 1 a pack is loaded (slow).
// After the commands the program must still work: a unit that answers is
// connected.

#include "fuzz/support/FuzzController.h"
#include "korprog/progctrl/States/KvctrlStateList.h"

using namespace fuzzkit;

namespace {

KvprgFrame statusRecord()
{
    KvprgFrame f;
    f.statusInfo(1, 0, 200, "KV8888GM-ED", "VERSION: KV-4.12", "     ", "D.49", "351234567890123");
    return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzController k;
    Input in(data, size);
    const uint8_t choices = in.byte();
    const bool asFile = choices & 1;
    k.start();
    if (choices & 2) k.loadImage();
    k.unit(statusRecord());
    BTrace* t = BTrace::instance();
    if (asFile) {
        writeFile("dbgTraceCommands.txt", in.rest());
        t->processCommandsFile("lvl");
    } else {
        for (int n = 0; n < 200 && !in.empty(); ++n) {
            t->procDbgStr(in.upTo('\n'));
            k.serve();
        }
    }
    k.advance(100);
    k.unit(statusRecord());
    // Events the commands re-routed or dropped may have cost the link; the
    // commands themselves must not have broken the program.
    t->procDbgStr("all lvl off");
    for (const char* c : {"Kvctrl rert none", "Kvprot rert none", "Kvcdrv rert none", "helm trevts 0", "helm rtcmax off"})
        t->procDbgStr(c);
    k.serve();
    k.advance(1100, 100);
    k.unit(statusRecord());
    if (!k.in(KVCTRLCONNIDLE)) fail("after the commands a unit that answers is not connected: " + k.view->last);
    k.stop();
    BTrace::destroy();
    return 0;
}
