// The program with a scripted user instead of a window: once the unit is
// connected it presses "Ophalen", then "Programmeren" with what came down,
// and ends. Prints how long each took, from the request to "Verbonden"; the
// read-back that follows the upload ("Ophalen" to "Verbonden") on its own.
// Same start-up, main loop and components as korprog; run it without a
// display, in a directory whose config.ini names the simulator's port.

#include <chrono>
#include <cstdio>
#include <cstring>

#include "korprog/progctrl/Forms/FrmConsole.h"
#include "korprog/progctrl/States/KvctrlBndToProt.h"
#include "korprog/progctrl/States/KvctrlLocSyntax.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "main/Main.h"
#include "main/MainStartup.h"

namespace {

typedef std::chrono::steady_clock Clock;

class ScriptedUser : public FrmConsole {
public:
    ScriptedUser(KvctrlRoot* root, SettingBin* bin) : FrmConsole(root, bin, nullptr) {}

    void ctrlBndSt(KvctrlBndToProt* b) override { _bndSt = b; }
    void createSettingEdit() override { _downloaded = true; }

    void statusInfo(const char* text, bool red) override
    {
        FrmConsole::statusInfo(text, red);
        const Clock::time_point now = Clock::now();
        if (text && _step == UPLOADING && std::strcmp(text, "Ophalen") == 0) {
            report("upload", _t0, now);
            _t0 = now;
            _step = READING_BACK;
            return;
        }
        // The read-back's outcome follows "Verbonden" on the same line.
        if (!text || std::strncmp(text, "Verbonden", 9) != 0 || !_bndSt) return;
        switch (_step) {
        case CONNECTING:
            _t0 = now;
            _step = DOWNLOADING;
            _bndSt->sendLocal(new KvctrlDldReqEvt(), STATE_ROOT);
            break;
        case DOWNLOADING:
            if (!_downloaded) break;
            report("download", _t0, now);
            _t0 = now;
            _step = UPLOADING;
            _bndSt->sendLocal(new KvctrlUplReqEvt(), STATE_ROOT);
            break;
        case UPLOADING:
            // The request itself shows "Verbonden" no more; this is the end.
            report("upload", _t0, now);
            finish();
            break;
        case READING_BACK:
            report("readback", _t0, now);
            finish();
            break;
        case DONE:
            break;
        }
    }

private:
    enum Step { CONNECTING, DOWNLOADING, UPLOADING, READING_BACK, DONE };
    void finish()
    {
        _step = DONE;
        Main::_exitCode = 0;
        Main::_shutdown = true;
    }
    static void report(const char* what, Clock::time_point from, Clock::time_point to)
    {
        std::printf("%s_ms=%.1f\n", what, std::chrono::duration<double, std::milli>(to - from).count());
        std::fflush(stdout);
    }

    KvctrlBndToProt* _bndSt = nullptr;
    Step _step = CONNECTING;
    bool _downloaded = false;
    Clock::time_point _t0;
};

}  // namespace

int main(int argc, char** argv)
{
    KvctrlRoot::viewFactory = [](KvctrlRoot* root, SettingBin* bin) -> KvctrlView* {
        return new ScriptedUser(root, bin);
    };
    Main::_exitCode = 1;
    return MainStartup::run(argc, argv);
}
