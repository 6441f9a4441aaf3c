#ifndef TESTS_KORPROG_PROGCTRL_STATES_KVCTRLTESTKIT_H
#define TESTS_KORPROG_PROGCTRL_STATES_KVCTRLTESTKIT_H

// The real controller root (with driver and parser over its bindings) in a
// directory of its own, a view that records what the window would show, and
// a unit on a pseudo-terminal: the simulator, or the test itself.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <poll.h>

#include "helm/HelmTestKit.h"
#include "korprog/KvprgFrame.h"
#include "korprog/conndrv/Data/Serial.h"
#include "korprog/conndrv/States/KvcdrvRoot.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/progctrl/States/KvctrlBndToProt.h"
#include "korprog/progctrl/States/KvctrlLocSyntax.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/progctrl/Run/KvctrlUnattended.h"
#include "korprog/progctrl/States/KvctrlView.h"
#include "main/Main.h"
#include "korprog/runlog/RunOptions.h"
#include "main/RunState.h"
#include "korvansim/SimProcess.h"
#include "support/KvPty.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

// What the window was asked to do.
struct ViewLog {
    std::vector<std::string> status;  // red lines start with "RED "
    std::string identity;             // type|software|special|hardware|imei
    KvctrlBndToProt* bndSt = nullptr;
    int editorsOpened = 0, editorsClosed = 0, upgradeTabs = 0, shutdowns = 0, waits = 0;
    bool busy = false, buttonsOn = true;
    // The user's choice of an image, made whenever the window waits.
    std::function<void()> choose;
    bool imageAllowed = true;

    std::string last() const { return status.empty() ? "" : status.back(); }
    bool showed(const std::string& s) const { return std::find(status.begin(), status.end(), s) != status.end(); }
};

class FakeView : public KvctrlView {
public:
    explicit FakeView(ViewLog& log) : _log(log) {}
    void statusInfo(const char* text, bool red) override { _log.status.push_back((red ? "RED " : "") + std::string(text)); }
    void upgradeProgress(const char* text, int, int) override { statusInfo(text, false); }
    void removeSettingEdit() override {}
    void ctrlBndSt(KvctrlBndToProt* b) override { _log.bndSt = b; }
    void cursorBusy(bool busy) override { _log.busy = busy; }
    void activateButtons(bool on) override { _log.buttonsOn = on; }
    void enableSwUpgrade() override { btOptCkSwUpgrade(); }
    void btOptCkSwUpgrade() override { ++_log.upgradeTabs; }
    bool btOpenSb() override { return false; }
    void shutdown() override
    {
        ++_log.shutdowns;
        Main::_shutdown = true;
    }
    bool checkTypeHwVers() override { return _log.imageAllowed; }
    // One pass of the window's loop: the user makes the choice, if any. A
    // wait nobody ends ends the program rather than the test run.
    void waitEvents() override
    {
        if (++_log.waits > 1000) Main::_shutdown = true;
        if (_log.choose) _log.choose();
    }
    void showBestGroup(const char*, const char*) override {}
    void showKorvanGroup(const char* t, const char* sw, const char* sp, const char* hw, const char* imei) override
    {
        _log.identity = std::string(t) + "|" + sw + "|" + sp + "|" + hw + "|" + imei;
    }
    void createSettingEdit() override { ++_log.editorsOpened; }
    void editClose() override { ++_log.editorsClosed; }
    void configInit(ConfigInit*) override {}
    void openOptionsWindow() override {}

private:
    ViewLog& _log;
};

inline Bytes bytesOf(const KvprgFrame& f) { return Bytes(f.bytes(), f.bytes() + f.size()); }

inline Bytes statusRecord(uint8_t errors = 0, uint8_t entries = 200, const char* type = "KV8888GM-ED")
{
    KvprgFrame f;
    f.statusInfo(1, errors, entries, type, "VERSION: KV-4.12", "     ", "D.49", "351234567890123");
    return bytesOf(f);
}

const Bytes STATUS_REQUEST = {0x01, 0x00, 0x00, 0x02, 0x03, 0x06};

// The controller in its own directory; the test plays the unit on `pty`,
// or starts the simulator on a terminal of its own.
class KvctrlTest : public helmtest::HelmTest {
protected:
    void SetUp() override
    {
        HelmTest::SetUp();
        ASSERT_TRUE(scratch.ok());
        dir = scratch.path();
        std::filesystem::create_directories("RevPacks");
        std::snprintf(Main::_revpacksDir, sizeof Main::_revpacksDir, "%s/RevPacks", dir.c_str());
        RunState::reset();
        Language::destroy();
        savedFactory = KvctrlRoot::viewFactory;
        savedSleep = KvctrlRoot::sleepFunc;
        KvctrlRoot::viewFactory = [this](KvctrlRoot*, SettingBin*) { return new FakeView(view); };
        KvctrlRoot::sleepFunc = [](uint32_t ms) { sleptMs() += ms; };
        sleptMs() = 0;
    }
    void TearDown() override
    {
        if (root) {
            root->abort();
            helmtest::drain();
            delete root;
            helmtest::drain();
        }
        EXPECT_EQ(KvcdrvRoot::existing(), nullptr) << "the driver outlived the controller";
        EXPECT_TRUE(BScheduler::timerManager().isEmpty()) << "a timer is still armed";
        KvctrlRoot::viewFactory = savedFactory;
        KvctrlRoot::sleepFunc = savedSleep;
        Language::destroy();
        if (std::getenv("KVCTRL_SHOW_TRACE")) std::fprintf(stderr, "%s\n", trace.c_str());
        HelmTest::TearDown();
    }
    static uint32_t& sleptMs()
    {
        static uint32_t ms = 0;
        return ms;
    }

    // Enters the controller with `port` in config.ini.
    void start(const std::string& port)
    {
        std::ofstream("config.ini") << "comport=" << port << "\nverify=" << (proving ? 1 : 0) << "\n";
        RunOptions::BACKUP = RunOptions::VERIFY = proving;
        root = new KvctrlRoot();
        root->initialize();
        helmtest::drain();
    }
    void startOnPty() { start(pty.name); }
    // The simulator as the unit; true once it reported itself.
    bool connectOnSim(const std::vector<std::string>& args)
    {
        if (!sim.start(args)) return false;
        start(sim.device);
        return waitFor([this] { return view.last() == "Verbonden"; });
    }
    // Lines of the simulator's log that contain text.
    int simLogCount(const std::string& text) const
    {
        const std::string log = sim.log();
        int n = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
        return n;
    }

    // One pass of the main loop: the port, the expired timers, every event.
    static void serve()
    {
        KvcdrvRoot::readCom();
        BScheduler::timerManager().process();
        helmtest::drain();
    }
    static int fd() { return KvcdrvRoot::serial() ? KvcdrvRoot::serial()->handle() : -1; }
    // The main loop's passes until pred holds (at most ms of real time for
    // the unit to answer).
    bool waitFor(const std::function<bool()>& pred, int ms = 5000)
    {
        for (int waited = 0; waited <= ms; waited += 10) {
            serve();
            if (pred()) return true;
            struct pollfd p = {fd(), POLLIN, 0};
            ::poll(&p, 1, 10);
        }
        return false;
    }
    // Moves the clock in steps of 10 ticks, serving what each step brings.
    void advance(BTickType ticks)
    {
        for (BTickType t = 0; t < ticks; t += 10) {
            helmtest::FakeClock::advance(std::min<BTickType>(10, ticks - t));
            serve();
        }
    }
    // A request of the window.
    void post(BLocalEvent* e)
    {
        ASSERT_NE(view.bndSt, nullptr);
        view.bndSt->sendLocal(e, STATE_ROOT);
        helmtest::drain();
    }
    // The test as the unit: bytes on the line, then one pass of the loop.
    void unit(const Bytes& b)
    {
        ASSERT_TRUE(pty.deliver(b, fd()));
        serve();
    }
    // What the program wrote since the last look (waits up to ms for count bytes).
    Bytes written(size_t count, int ms = 1000) { return pty.read(count, ms); }
    Bytes writtenNow() { return pty.read(4096, 20); }
    // The unit answers the first status request: connected.
    void connectOnPty(uint8_t errors = 0)
    {
        startOnPty();
        ASSERT_EQ(written(6), STATUS_REQUEST);
        unit(statusRecord(errors));
        ASSERT_EQ(view.last(), "Verbonden");
    }
    bool inState(StateId id) { return root && root->getState(id) != nullptr; }

    TempDir scratch{"kvctrl-test", TempDir::ENTER};
    std::string dir;
    // Read-back after programming and backup before an upgrade; off where
    // a test plays the unit's every byte itself.
    bool proving = false;
    KvctrlRoot::ViewFactory savedFactory;
    KvctrlRoot::SleepFunc savedSleep = nullptr;
    ViewLog view;
    ScriptedDialogs dialogs;
    KvPty pty;
    SimProcess sim;
    KvctrlRoot* root = nullptr;
};

#endif
