// Runs that prove themselves, end to end: the built program without a
// display against the built unit simulator with a fault that the read-back,
// the backup or the version check must catch, and the options that leave
// those steps out.

#if defined(KORPROG_PATH) && defined(KORVANSIM_PATH)

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "korvansim/SimProcess.h"
#include "support/KorprogDirTest.h"
#include "support/KorprogProcess.h"
#include "support/KvSettingsFile.h"
#include "support/KvTestPack.h"

namespace fs = std::filesystem;

namespace {

using ksimtest::count;

const char* const SIGTERM_REASON = "korprog: ended by SIGTERM before the run was complete\n";

class Proving : public KorprogDirTest {
protected:
    Proving() : KorprogDirTest("korprog-proving") {}
    void SetUp() override
    {
        KorprogDirTest::SetUp();
        fs::create_directories(packs);
        std::ofstream(dir / "new.adn") << settingsFile("Nieuw ");
        KvTestPack p;
        p.data = KvTestPack::image(700);  // declares and carries KV-4.20
        pack = p.write(packs.string(), "KV-prove");
        // Declared KV8888GM-ED, but makes the unit another type.
        p.data = KvTestPack::image(700, "KV-4.20", "KV9999GM-ED");
        otherType = p.write(packs.string(), "KV-other");
    }

    // The simulator holding settingsFile("oud ") with `faults`, and
    // config.ini naming its terminal.
    void startSim(std::vector<std::string> faults)
    {
        sim.stop();
        // By a link the simulator removes when it ends: a unit pulled out
        // leaves the program nothing to open again, where its terminal's
        // number may already be another test's unit.
        const std::string link = sim.path("korvan0");
        faults.insert(faults.end(), {"--adn", sim.path("unit.adn"), "--image", sim.path("image.bin"), "--link", link});
        std::ofstream(sim.path("unit.adn")) << settingsFile("oud ");
        std::remove(sim.path("image.bin").c_str());
        ASSERT_TRUE(sim.start(faults));
        std::ofstream(user / "config.ini") << "comport=" << link << "\n";
    }
    std::vector<std::string> upgrade(const std::string& option = "", const std::string& name = "") const
    {
        std::vector<std::string> args{"-upgrade", "-revpack", name.empty() ? pack : name, "-binfile", "app.bin"};
        if (!option.empty()) args.insert(args.begin() + 1, option);
        return args;
    }
    std::vector<fs::path> backups() const
    {
        std::vector<fs::path> found;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(user / "Backups", ec)) found.push_back(e.path());
        return found;
    }

    std::string pack, otherType;
    SimProcess sim;
};

// Each fault fails its run with a reason that names what is wrong; the
// image does not go out after a failed backup.
TEST_F(Proving, FaultsTheStepsCatchFailTheRunNamingWhatIsWrong)
{
    const struct {
        const char* what;
        std::vector<std::string> faults;
        int rc;
        bool upgrading;
        std::vector<std::string> named;
        bool imageSent;
        bool otherType = false;
    } cases[] = {
        {"entry stored otherwise", {"--store-differs", "37"}, 9, false,
         {"verify failed: entry 37 reads back 'Nieuw 3", "' instead of 'Nieuw 37'"}, false},
        {"number stored otherwise", {"--number-differs", "37"}, 9, false,
         {"verify failed: entry 37 number reads back '5550031' instead of '5550037'"}, false},
        {"no settings for the backup", {"--no-settings"}, 10, true, {"backup failed"}, false},
        {"version that stays the old one", {"--keep-version"}, 9, true,
         {"the unit reports KV-4.12 after the upgrade, expected KV-4.20"}, true},
        {"image of another type", {}, 9, true,
         {"the unit reports type KV9999GM-ED after the upgrade, expected KV8888GM-ED"}, true, true},
        {"another unit after the image", {"--imei-after", "351234567890999"}, 9, true,
         {"IMEI 351234567890999, expected 351234567890123"}, true},
    };
    size_t backedUp = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        startSim(c.faults);
        const KorprogRun r = runKorprog(
            dir.string(), c.upgrading ? upgrade("", c.otherType ? otherType : "") : std::vector<std::string>{"-program", "new.adn"}, 25);
        if (c.imageSent) ++backedUp;
        EXPECT_EQ(r.out.find("Gecontroleerd"), std::string::npos) << r.out;
        EXPECT_EQ(r.rc, c.rc) << r.err;
        for (const std::string& n : c.named) EXPECT_NE(r.err.find(n), std::string::npos) << n << "\n" << r.err;
        EXPECT_EQ(fs::exists(sim.path("image.bin")), c.imageSent);
        if (c.upgrading && !c.imageSent) {
            EXPECT_EQ(sim.log().find("<- upgrade request"), std::string::npos) << "the upgrade never started";
        }
    }
    EXPECT_EQ(backups().size(), backedUp) << "only the upgrades whose backup succeeded left one";
}

TEST_F(Proving, UpgradeSavesTheUnitsSettingsBeforeTheImageAndEndsZero)
{
    startSim({});
    const KorprogRun r = runKorprog(dir.string(), upgrade(), 20);
    EXPECT_EQ(r.rc, 0) << r.err;
    const std::vector<fs::path> saved = backups();
    ASSERT_EQ(saved.size(), 1u);
    const std::string name = saved[0].filename().string();
    EXPECT_EQ(name.rfind("KV8888GM-ED_351234567890123_", 0), 0u) << name;
    EXPECT_EQ(ksimtest::readFile(saved[0].string()), settingsFile("oud "));
    EXPECT_NE(r.out.find(saved[0].string()), std::string::npos) << "the output names the file\n" << r.out;
    EXPECT_EQ(ksimtest::readFile(sim.path("image.bin")), KvTestPack::padded(KvTestPack::image(700)));
}

// -nobackup and -noverify leave their steps out: the fault that step would
// catch goes unseen and the run ends zero.
TEST_F(Proving, OptionsLeaveTheirStepsOut)
{
    const struct {
        const char* what;
        std::vector<std::string> faults;
        std::vector<std::string> args;
    } cases[] = {
        {"-noverify", {"--store-differs", "37"}, {"-program", "new.adn", "-noverify"}},
        {"-nobackup", {"--no-settings"}, upgrade("-nobackup")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        startSim(c.faults);
        const KorprogRun r = runKorprog(dir.string(), c.args, 20);
        EXPECT_EQ(r.rc, 0) << r.err;
        EXPECT_EQ(sim.log().find("<- download request"), std::string::npos) << "the settings were not asked for";
    }
    EXPECT_TRUE(backups().empty());
}

// What the run can know before it starts, it refuses before anything goes to
// the unit: texts too long for the unit's fields (all of them named; a pack's
// settings: LineFaults), and a boot loader longer than the unit's frame takes.
TEST_F(Proving, WhatCannotGoInWholeIsRefusedBeforeTheUnitIsAskedAnything)
{
    std::string tooLong = settingsFile("Nieuw ");
    tooLong.replace(tooLong.find("Nieuw 100|"), 9, "Nieuw 100 xyz");  // 13 characters, the unit takes 12
    tooLong.replace(tooLong.find("Nieuw 150|"), 9, std::string(20, 'L'));
    std::ofstream(dir / "long.adn") << tooLong;
    KvTestPack bigLoader;
    bigLoader.data = KvTestPack::image(700);
    bigLoader.loaderSize = 2045;
    const std::string loaderPack = bigLoader.write(packs.string(), "KV-loader");
    const struct {
        const char* what;
        std::vector<std::string> args;
        int rc;
        std::vector<std::string> named;
    } cases[] = {
        {"-program, texts too long at entries 100 and 150", {"-program", "long.adn"}, 3,
         {"korprog: texts too long for the unit: entry 100 (", ") has 13 characters, at most 12; entry 150 (",
          ") has 20 characters, at most 12; nothing was programmed\n"}},
        {"-upgrade, a boot loader of 2045 bytes", upgrade("", loaderPack), 7, {"has no usable boot loader"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        startSim({});
        const KorprogRun r = runKorprog(dir.string(), c.args, 20);
        EXPECT_EQ(r.rc, c.rc) << r.err << r.out.substr(0, 3000);
        EXPECT_EQ(count(r.err, "\n"), 1) << r.err;
        for (const std::string& n : c.named) EXPECT_NE(r.err.find(n), std::string::npos) << n << "\n" << r.err;
        const std::string log = sim.log();
        for (const char* request : {"<- download request", "<- upload request", "<- upgrade request"})
            EXPECT_EQ(log.find(request), std::string::npos) << request;
        EXPECT_EQ(ksimtest::readFile(sim.path("unit.adn")), settingsFile("oud "));
    }
    EXPECT_TRUE(backups().empty());
}

// A fetch cut short is no verified fetch and no backup: a unit pulled in the
// middle of the read-back fails the run's verification, and a signal that
// ends the run is its cause, not the unit.
TEST_F(Proving, FetchesCutShortAreToldByWhatCutThemShort)
{
    const struct {
        const char* what;
        std::vector<std::string> args;
        bool pull;  // else SIGTERM
        int rc;
        std::string told;
    } cases[] = {
        {"unit pulled during the read-back", {"-program", "new.adn"}, true, 9,
         "korprog: verify failed: the settings could not be read back\n"},
        {"SIGTERM during the read-back", {"-program", "new.adn"}, false, 1, SIGTERM_REASON},
        {"SIGTERM during the backup", upgrade(), false, 1, SIGTERM_REASON},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        startSim({"--baud", "9600"});
        bool done = false;
        const KorprogRun r = runKorprog(dir.string(), c.args, 40, [&](double, pid_t pid) {
            // The unit sends entries only when its settings are fetched.
            if (done || count(sim.log(), "-> entry ") < 50) return;
            done = true;
            if (c.pull)
                sim.stop();
            else
                ::kill(pid, SIGTERM);
        });
        ASSERT_TRUE(done) << r.err;
        EXPECT_EQ(r.rc, c.rc) << r.err;
        EXPECT_EQ(r.err, c.told);
        EXPECT_EQ(r.out.find("Gecontroleerd"), std::string::npos) << r.out;
        EXPECT_EQ(sim.log().find("<- upgrade request"), std::string::npos);
    }
    EXPECT_TRUE(backups().empty());
}

// Started with standard input, output and error closed, as by some service
// managers: what the program writes there must not reach the unit's line nor
// its lock files.
TEST_F(Proving, ClosedStandardDescriptorsKeepOurTextOffTheLine)
{
    const struct {
        const char* what;
        std::vector<int> closed;
        std::vector<std::string> args;
    } cases[] = {
        {"all three closed", {0, 1, 2}, {"-program", "new.adn"}},
        {"standard output closed, JSON events", {1}, {"-program", "new.adn", "-json"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        startSim({});
        // What stays open goes to files of its own, out of the test's output.
        KorprogStart how(dir.string());
        how.inChild = [&c] {
            ::dup2(::open("/dev/null", O_RDONLY), 0);
            for (int fd : c.closed) ::close(fd);
        };
        const KorprogRun r = runKorprog(how, c.args, 30);
        EXPECT_GE(r.rc, 0) << "ended by itself";
        EXPECT_EQ(r.rc, 0);
        EXPECT_EQ(ksimtest::readFile(sim.path("unit.adn")), settingsFile("Nieuw "));
        EXPECT_EQ(sim.log().find("<- dropped"), std::string::npos) << "bytes outside frames reached the unit";
        for (const auto& e : fs::directory_iterator(dir)) {
            if (!e.is_regular_file() || e.path().extension() == ".adn" || e.path().extension() == ".txt") continue;
            const std::string held = ksimtest::readFile(e.path().string());
            EXPECT_EQ(held.find("\"event\""), std::string::npos) << e.path();
            EXPECT_EQ(held.find("Verbonden"), std::string::npos) << e.path();
        }
    }
}

}  // namespace

#endif
