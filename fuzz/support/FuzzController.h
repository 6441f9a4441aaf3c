#ifndef FUZZ_SUPPORT_FUZZCONTROLLER_H
#define FUZZ_SUPPORT_FUZZCONTROLLER_H

// The real controller root with its driver and parser, as the serial-line
// and console harnesses need it: its port is a link to a pseudo-terminal
// whose other side only swallows what the program writes (the harness can
// take it away and bring it back under the same name); what the unit says
// is handed to the driver's receive rules directly. A view without widgets stands in
// for the window, and the user chooses the loaded image whenever the
// program waits for a choice.

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <deque>
#include <memory>
#include <string>

#include "fuzz/support/FuzzKit.h"
#include "helm/BLocalEvent.h"
#include "korprog/KvprgFrame.h"
#include "korprog/conndrv/States/KvcdrvRoot.h"
#include "korprog/progctrl/Data/ConfigInit.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/progctrl/States/KvctrlBndToProt.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/progctrl/States/KvctrlStateList.h"
#include "korprog/progctrl/Run/KvctrlUnattended.h"
#include "korprog/progctrl/States/KvctrlView.h"
#include "main/Main.h"
#include "main/RunState.h"
#include "support/KvPty.h"
#include "support/KvTestPack.h"

namespace fuzzkit {

class FuzzView : public KvctrlView {
public:
    explicit FuzzView(KvctrlRoot* root) : _root(root) {}
    void statusInfo(const char* text, bool red) override { last = (red ? "RED " : "") + std::string(text); }
    void upgradeProgress(const char* text, int, int) override { statusInfo(text, false); }
    void removeSettingEdit() override {}
    void ctrlBndSt(KvctrlBndToProt* b) override { bndSt = b; }
    void cursorBusy(bool) override {}
    void activateButtons(bool) override {}
    void enableSwUpgrade() override {}
    void btOptCkSwUpgrade() override {}
    bool btOpenSb() override { return false; }
    void shutdown() override { Main::_shutdown = true; }
    bool checkTypeHwVers() override { return imageAllowed; }
    void resetWaits() { _waits = 0; }
    // The user picks the image already loaded; without one nobody ever
    // does, and the program is ended as a person would end it.
    void waitEvents() override
    {
        RevPackDb* db = _root->revPack();
        if (db && db->binSize() > 0) _root->binFileSet(true);
        else if (++_waits > 50) Main::_shutdown = true;
    }
    void showBestGroup(const char*, const char*) override {}
    void showKorvanGroup(const char*, const char*, const char*, const char*, const char*) override {}
    void createSettingEdit() override {}
    void editClose() override {}
    void configInit(ConfigInit*) override {}
    void openOptionsWindow() override {}

    std::string last;
    KvctrlBndToProt* bndSt = nullptr;
    bool imageAllowed = true;

private:
    KvctrlRoot* _root;
    int _waits = 0;
};

class FuzzController {
public:
    static constexpr const char* PACK_IMAGE = "app.bin";

    // Once per process: directory, pack, port and the program's seams.
    FuzzController()
    {
        const std::string dir = workDir();
        std::filesystem::create_directories(dir + "/RevPacks");
        std::filesystem::create_directories(dir + "/nodev");
        std::snprintf(Main::_revpacksDir, sizeof Main::_revpacksDir, "%s/RevPacks", dir.c_str());
        ConfigInit::devicesDir((dir + "/nodev").c_str());  // no port probe over /dev per input
        // Without a language chosen every translated text opens language.ini
        // again; the program's own texts, chosen once, cost nothing.
        writeFile("language.ini", "taal=NLINI\n");
        writeFile("language.csv", "");
        KvTestPack p;
        p.data = KvTestPack::image(1300);
        _pack = p.write(Main::_revpacksDir, "KV-fuzz");
        _link = dir + "/korvan0";
        restorePort();
        KvctrlRoot::viewFactory = [this](KvctrlRoot* r, SettingBin*) { return view = new FuzzView(r); };
        KvctrlRoot::sleepFunc = [](uint32_t) {};
        Clock::install();
    }

    // A new controller on the pseudo-terminal, the globals as at start-up.
    void start()
    {
        RunState::reset();
        dialogs.answer = -1;
        writeFile("config.ini", "comport=" + _link + "\n");
        root = new KvctrlRoot();
        root->initialize();
        serve();
        swallow();
    }

    // The controller for the next input. A new one takes most of an
    // input's time, so inputs share one where they can: when fresh is
    // false and the last input left it connected and idle with its life
    // check on (which every input that ends in the harness's check does),
    // it is kept, and what an input may have changed is set back as a new
    // controller that has just connected would have it.
    void begin(bool fresh)
    {
        if (root && (fresh || Main::_shutdown || !root->activeLifeCk() || !in(KVCTRLCONNIDLE))) stop();
        if (!root) {
            start();
            return;
        }
        Main::_exitCode = 0;
        dialogs.answer = -1;
        view->imageAllowed = true;
        view->resetWaits();
        root->binFileSet(false);
        root->showErrorAlert(true);
        for (int e = 0; e < KvctrlRoot::CTRL_ERR_SIZE; ++e) root->setError(KvctrlRoot::Error(e), false);
        SettingBin* bin = root->korSettingBin();
        bin->cleanUpEntries(true);
        bin->editFromDownload(false);
        bin->progPreUpgrade(false);
        if (RevPackDb* db = root->revPack()) db->setBinData("");  // no image chosen
        RevPackDb::activeAdnFileReset();
    }

    // Leaves and deletes the controller; nothing of it may stay behind.
    void stop()
    {
        root->abort();
        drain();
        delete root;
        root = nullptr;
        view = nullptr;
        drain();
        if (KvcdrvRoot::existing()) fail("the driver outlived the controller");
        if (!BScheduler::timerManager().isEmpty()) fail("a timer is still armed after the controller ended");
        swallow();
    }

    // The pack's image, loaded as the upgrade tab would load it.
    bool loadImage()
    {
        RevPackDb* db = root->revPack();
        if (db) {
            db->setBootData(nullptr);
        } else {
            root->createRevPack();
            db = root->revPack();
            db->selectRpFile(_pack.c_str());
        }
        db->setBinData(PACK_IMAGE);
        return db->binSize() > 0;
    }

    // The port goes away (an adapter pulled out: the terminal closes and
    // its name is gone), and comes back under the same name.
    void removePort()
    {
        ::unlink(_link.c_str());
        _pty.reset();
    }
    void restorePort()
    {
        if (_pty) return;
        _pty.reset(new KvPty());
        ::fcntl(_pty->master, F_SETFL, ::fcntl(_pty->master, F_GETFL) | O_NONBLOCK);
        ::unlink(_link.c_str());
        if (::symlink(_pty->name.c_str(), _link.c_str()) != 0) fail("no link to the port");
    }
    bool portPresent() const { return _pty != nullptr; }

    // A request of the window.
    void post(BLocalEvent* e)
    {
        if (!view || !view->bndSt) {
            e->destroy();
            return;
        }
        view->bndSt->sendLocal(e, STATE_ROOT);
        serve();
        swallow();
    }

    // What the unit sends, as reads of the given sizes (the rest in one).
    void unit(const std::string& bytes, std::deque<size_t> cuts = {})
    {
        KvcdrvRoot* drv = KvcdrvRoot::existing();
        if (!drv || bytes.empty()) return;
        std::deque<std::string> reads;
        size_t at = 0;
        for (size_t c : cuts) {
            if (at >= bytes.size()) break;
            const size_t n = std::min(std::max<size_t>(c, 1), bytes.size() - at);
            reads.push_back(bytes.substr(at, n));
            at += n;
        }
        if (at < bytes.size()) reads.push_back(bytes.substr(at));
        // The main loop polls until the line is empty.
        while (!reads.empty() && KvcdrvRoot::existing()) {
            KvcdrvRoot::existing()->receive([&reads](char* buf, int max) -> int {
                if (reads.empty()) return -1;
                std::string& r = reads.front();
                const int n = std::min<int>(max, static_cast<int>(r.size()));
                std::copy(r.begin(), r.begin() + n, buf);
                if (n < static_cast<int>(r.size())) r.erase(0, static_cast<size_t>(n));
                else reads.pop_front();
                return n;
            });
            serve();
        }
        swallow();
    }
    void unit(const KvprgFrame& f) { unit(std::string(reinterpret_cast<const char*>(f.bytes()), f.size())); }

    // Time passes in steps of 100 ms (or of `step` ticks, a slow main
    // loop); the main loop runs after each.
    void advance(BTickType ticks, BTickType step = 10)
    {
        for (BTickType t = 0; t < ticks && !Main::_shutdown; t += step) {
            Clock::now() += step;
            serve();
        }
        swallow();
    }

    // One pass of the main loop without input. What the program writes
    // is swallowed after each whole step of the harness: the line holds
    // far more than one step writes.
    void serve()
    {
        BScheduler::timerManager().process();
        drain();
    }

    bool in(StateId id) { return root && root->getState(id) != nullptr; }
    const std::string& pack() const { return _pack; }

    KvctrlRoot* root = nullptr;
    FuzzView* view = nullptr;
    Dialogs dialogs;

private:
    // What the program wrote goes nowhere, so its writes never block.
    void swallow()
    {
        char buf[4096];
        while (_pty && ::read(_pty->master, buf, sizeof buf) > 0) {
        }
    }

    std::unique_ptr<KvPty> _pty;
    std::string _link;
    std::string _pack;
};

}  // namespace fuzzkit

#endif
