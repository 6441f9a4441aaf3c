// Runs that prove themselves, end to end: the built program without a
// display against the built unit simulator with a fault that the read-back,
// the backup or the version check must catch, and the options that leave
// those steps out.

#if defined(KORPROG_PATH) && defined(KORVANSIM_PATH)

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "korvansim/SimProcess.h"
#include "support/KorprogProcess.h"
#include "support/KvSettingsFile.h"
#include "support/KvTestPack.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

class Proving : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(scratch.ok());
        dir = scratch.path();
        user = dir / "Ombrix/Korvan Tools/Programmer";
        fs::create_directories(user / "RevPacks");
        std::ofstream(dir / "new.adn") << settingsFile("Nieuw ");
        KvTestPack p;
        p.data = KvTestPack::image(700);  // declares and carries KV-4.20
        pack = p.write((user / "RevPacks").string(), "KV-prove");
    }

    // The simulator holding settingsFile("oud ") with `faults`, and
    // config.ini naming its terminal.
    void startSim(std::vector<std::string> faults)
    {
        sim.stop();
        faults.insert(faults.end(), {"--adn", sim.path("unit.adn"), "--image", sim.path("image.bin")});
        std::ofstream(sim.path("unit.adn")) << settingsFile("oud ");
        std::remove(sim.path("image.bin").c_str());
        ASSERT_TRUE(sim.start(faults));
        std::ofstream(user / "config.ini") << "comport=" << sim.device << "\n";
    }
    std::vector<std::string> upgrade(const std::string& option = "") const
    {
        std::vector<std::string> args{"-upgrade", "-revpack", pack, "-binfile", "app.bin"};
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

    TempDir scratch{"korprog-proving"};
    fs::path dir, user;
    std::string pack;
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
    } cases[] = {
        {"entry stored otherwise", {"--store-differs", "37"}, 9, false,
         {"verify failed: entry 37 reads back 'Nieuw 3", "' instead of 'Nieuw 37'"}, false},
        {"no settings for the backup", {"--no-settings"}, 10, true, {"backup failed"}, false},
        {"version that stays the old one", {"--keep-version"}, 9, true,
         {"the unit reports KV-4.12 after the upgrade, expected KV-4.20"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        startSim(c.faults);
        const KorprogRun r = runKorprog(dir.string(), c.upgrading ? upgrade() : std::vector<std::string>{"-program", "new.adn"}, 25);
        EXPECT_EQ(r.rc, c.rc) << r.err;
        for (const std::string& n : c.named) EXPECT_NE(r.err.find(n), std::string::npos) << n << "\n" << r.err;
        EXPECT_EQ(fs::exists(sim.path("image.bin")), c.imageSent);
        if (c.upgrading && !c.imageSent) {
            EXPECT_EQ(sim.log().find("<- upgrade request"), std::string::npos) << "the upgrade never started";
        }
    }
    EXPECT_EQ(backups().size(), 1u) << "only the upgrade whose backup succeeded left one";
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

}  // namespace

#endif
