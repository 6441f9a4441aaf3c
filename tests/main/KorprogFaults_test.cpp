// Line faults and a full disk under the built program's unattended runs,
// with the built simulator as the unit. Each run ends in a defined state:
// the settings or the image arrive whole, or the run ends non-zero with its
// reason; nothing hangs, no file is left damaged, and a second run
// succeeds once the unit is back.

#if defined(KORPROG_PATH) && defined(KORVANSIM_PATH)

#include <algorithm>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "korvansim/SimProcess.h"
#include "support/KorprogProcess.h"
#include "support/KorprogUserTest.h"
#include "support/KvSettingsFile.h"
#include "support/KvTestPack.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

using ksimtest::count;

// The one line of a -program whose unit went away on the way: not the
// words for no unit at all.
bool lostDuringProgramming(const std::string& err)
{
    const std::string head = "korprog: the unit was lost during programming after entry ";
    const std::string tail = "; it is not fully programmed\n";
    return err.rfind(head, 0) == 0 && err.size() > head.size() + tail.size() &&
           err.compare(err.size() - tail.size(), tail.size(), tail) == 0 && err.find('\n') == err.size() - 1;
}

class LineFaults : public KorprogUserTest {
protected:
    LineFaults() : KorprogUserTest("korprog-faults") {}
    // The unit, its settings file holding the old settings; config.ini
    // names the port (the link when one is given).
    void startSim(SimProcess& s, std::vector<std::string> args, const std::string& link = "")
    {
        args.insert(args.end(), {"--adn", sim.path("unit.adn"), "--image", sim.path("image.bin"), "--persist"});
        if (!link.empty()) args.insert(args.end(), {"--link", link});
        if (!fs::exists(sim.path("unit.adn"))) std::ofstream(sim.path("unit.adn")) << oldSettings;
        ASSERT_TRUE(s.start(args));
        port(link.empty() ? s.device : link);
    }
    KorprogRun korprog(const std::vector<std::string>& args, int timeoutS = 20, rlim_t fileLimit = 0,
                       const std::function<void(double)>& during = {})
    {
        return runKorprog(dir, args, timeoutS, fileLimit, during);
    }
    std::string pack(size_t imageSize, const std::string& adn = "",
                     const std::vector<std::string>& loaders = {"00", "49"})
    {
        KvTestPack p;
        p.loaders = loaders;
        if (!adn.empty()) p.type = "KV8888WM-ED";  // another network: the image's settings go first
        p.data = image = KvTestPack::image(imageSize, "KV-4.61", adn.empty() ? "" : p.type);
        if (!adn.empty()) {
            p.rows = {"KV----G----;KV----W----"};
            p.adn = adn;
        }
        return p.write(packs, "KV-fault");
    }

    std::string image;
    const std::string oldSettings = settingsFile("oud ");
};

TEST_F(LineFaults, GarbageNaksAndWaitingFramesCostTimeButNoData)
{
    const std::vector<std::vector<std::string>> faults = {
        {"--garbage", "7"}, {"--nak-every", "3"}, {"--wait-every", "5"}, {"--nak-every", "4", "--garbage", "3"}};
    for (const auto& f : faults) {
        SCOPED_TRACE(f[0] + " " + f[1]);
        sim.stop();
        fs::remove(sim.path("unit.adn"));
        startSim(sim, f);
        const KorprogRun r = korprog({"-program", "new.adn"});
        EXPECT_EQ(r.rc, 0) << r.err;
        EXPECT_TRUE(ksimtest::readFile(sim.path("unit.adn")) == newSettings) << sim.log().substr(sim.log().size() > 3000 ? sim.log().size() - 3000 : 0);
    }
    // The image as well: every segment a NAK hits is sent again.
    sim.stop();
    startSim(sim, {"--nak-every", "6", "--garbage", "5"});
    const std::string name = pack(3000);
    const KorprogRun r = korprog({"-upgrade", "-revpack", name, "-binfile", "app.bin"}, 40);
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(ksimtest::readFile(sim.path("image.bin")), KvTestPack::padded(image));
}

TEST_F(LineFaults, NakStormsEndTheRunAsNoUnit5OrRefused7WithTheUnitUnchangedAndAHealthyUnitIsServedAfter)
{
    // Every frame refused: the unit is never seen, nothing is stored.
    startSim(sim, {"--nak-every", "1"});
    const KorprogRun settingsStorm = korprog({"-program", "new.adn"});
    EXPECT_EQ(settingsStorm.rc, 5);
    EXPECT_EQ(settingsStorm.err, "korprog: Korvan niet aangesloten\n");
    EXPECT_EQ(ksimtest::readFile(sim.path("unit.adn")), oldSettings);

    // Every packet refused: the image is given up, none is written.
    sim.stop();
    startSim(sim, {"--nak-packets"});
    const std::string name = pack(2000);
    const KorprogRun imageStorm = korprog({"-upgrade", "-revpack", name, "-binfile", "app.bin"});
    EXPECT_EQ(imageStorm.rc, 7);
    EXPECT_EQ(imageStorm.err, "korprog: the unit refused the image 10 times in a row\n");
    EXPECT_FALSE(fs::exists(sim.path("image.bin")));
    EXPECT_EQ(sim.log().find("image of"), std::string::npos);
    EXPECT_EQ(count(sim.log(), "<- packet"), 10);

    // The unit back without faults, still in its boot loader.
    sim.stop();
    startSim(sim, {"--boot"});
    const KorprogRun upgrade = korprog({"-upgrade", "-revpack", name, "-binfile", "app.bin"}, 40);
    EXPECT_EQ(upgrade.rc, 0) << upgrade.err;
    EXPECT_EQ(ksimtest::readFile(sim.path("image.bin")), KvTestPack::padded(image));
}

TEST_F(LineFaults, UnitSilentInTheMiddleOfProgrammingEndsTheRunAsLostCode6AndKeepsItsSettings)
{
    startSim(sim, {"--silent-after", "60"});
    const KorprogRun r = korprog({"-program", "new.adn"});
    EXPECT_EQ(r.rc, 6);
    EXPECT_TRUE(lostDuringProgramming(r.err)) << r.err;
    EXPECT_LT(r.seconds, 15);
    EXPECT_EQ(ksimtest::readFile(sim.path("unit.adn")), oldSettings) << "an unfinished upload stores nothing";
}

TEST_F(LineFaults, UnitResetInTheMiddleOfTheImageEndsTheRunAsLostCode6AndTheNextRunUpgradesIt)
{
    for (const std::vector<std::string>& loaders : {std::vector<std::string>{"00", "49"}, {"49"}}) {
        SCOPED_TRACE(std::to_string(loaders.size()) + " loaders");
        sim.stop();
        fs::remove(sim.path("image.bin"));
        startSim(sim, {"--reset-after", "8"});
        const std::string name = pack(3000, "", loaders);
        const KorprogRun first = korprog({"-upgrade", "-revpack", name, "-binfile", "app.bin"});
        EXPECT_EQ(first.rc, 6);
        EXPECT_EQ(first.err, "korprog: the unit restarted during the image\n");
        EXPECT_FALSE(fs::exists(sim.path("image.bin"))) << "no image from a broken transfer";
        // The input is checked without choosing a loader for a unit not yet seen.
        EXPECT_EQ(first.out.find("No 2nd boot"), std::string::npos) << first.out;
        EXPECT_EQ(first.out.find("HW version: \n"), std::string::npos) << first.out;

        // The unit waits in its boot loader; the same command finishes the job.
        const KorprogRun second = korprog({"-upgrade", "-revpack", name, "-binfile", "app.bin"});
        EXPECT_EQ(second.rc, 0) << second.err;
        EXPECT_EQ(ksimtest::readFile(sim.path("image.bin")), KvTestPack::padded(image));
        EXPECT_EQ(second.out.find("Invalid Revpack"), std::string::npos) << second.out;
    }
}

TEST_F(LineFaults, UnitInItsBootLoaderThatNoLoaderOfThePackFitsIsToldSoWithoutBlamingIt)
{
    startSim(sim, {"--boot", "--hardware", "B.48"});
    const std::string name = pack(1000, "", {"49"});
    const KorprogRun r = korprog({"-upgrade", "-revpack", name, "-binfile", "app.bin"});
    EXPECT_EQ(r.rc, 7);
    EXPECT_EQ(r.err, "korprog: revision pack " + name + " has no second-stage boot loader for hardware B.48\n");
    EXPECT_EQ(count(sim.log(), "boot data of"), 1) << "the pack's one loader, before the unit told its hardware";
    EXPECT_LT(r.seconds, 8);
}

TEST_F(LineFaults, UnitThatMissesTheEndOfTheImageIsSentItAgainAndTheRunEndsZero)
{
    startSim(sim, {"--ignore-eot", "1"});
    const KorprogRun r = korprog({"-upgrade", "-revpack", pack(1000), "-binfile", "app.bin"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(ksimtest::readFile(sim.path("image.bin")), KvTestPack::padded(image));
    EXPECT_EQ(count(sim.log(), "<- EOT"), 2);
}

// A unit that refuses the request for its settings once: the read-back
// after programming and the backup before an upgrade ask again at once and
// the runs end zero.
TEST_F(LineFaults, UnitRefusingTheRequestForItsSettingsOnceIsAskedAgain)
{
    startSim(sim, {"--nak-download", "1"});
    const KorprogRun programmed = korprog({"-program", "new.adn"});
    EXPECT_EQ(programmed.rc, 0) << programmed.err;
    EXPECT_NE(programmed.out.find("Gecontroleerd"), std::string::npos) << programmed.out;
    EXPECT_EQ(count(sim.log(), "<- download request"), 2);
    EXPECT_LT(programmed.seconds, 8);

    sim.stop();
    startSim(sim, {"--nak-download", "1"});
    const KorprogRun upgraded = korprog({"-upgrade", "-revpack", pack(1000), "-binfile", "app.bin"});
    EXPECT_EQ(upgraded.rc, 0) << upgraded.err;
    EXPECT_EQ(count(sim.log(), "<- download request"), 2);
    std::error_code ec;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir + "/" + home + "Backups", ec), fs::directory_iterator()), 1);
    EXPECT_EQ(ksimtest::readFile(sim.path("image.bin")), KvTestPack::padded(image));
}

// lrzsz's rx, an XMODEM receiver not made by us, takes the image behind the
// simulated boot loader: twenty upgrades in a row end zero with the image
// whole.
TEST_F(LineFaults, UpgradesThroughAnOutsideXmodemReceiverAllEndZero)
{
    if (::access("/usr/bin/rx", X_OK) != 0) GTEST_SKIP() << "lrzsz's rx is not installed";
    startSim(sim, {"--rx", "/usr/bin/rx"});
    const std::string name = pack(1000);
    for (int run = 1; run <= 20; ++run) {
        fs::remove(sim.path("image.bin"));
        // rx empties its input right after each answer: a packet that came
        // sooner is lost, and asked for again after its 4 s.
        const KorprogRun r = korprog({"-upgrade", "-nobackup", "-revpack", name, "-binfile", "app.bin"}, 40);
        ASSERT_EQ(r.rc, 0) << "run " << run << ": " << r.err << sim.log();
        ASSERT_EQ(ksimtest::readFile(sim.path("image.bin")), KvTestPack::padded(image)) << "run " << run;
    }
    EXPECT_EQ(count(sim.log(), "the receiver ended with status 0"), 20);
}

TEST_F(LineFaults, PortThatGoesAwayInTheMiddleOfTheImageAndComesBackFinishesTheUpgrade)
{
    startSim(sim, {"--unplug-after", "8"}, dir + "/korvan0");
    const KorprogRun r = korprog({"-upgrade", "-revpack", pack(3000), "-binfile", "app.bin"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(count(sim.log(), "the terminal is back"), 1) << sim.log();
    EXPECT_EQ(ksimtest::readFile(sim.path("image.bin")), KvTestPack::padded(image));
    EXPECT_LT(r.seconds, 15);
}

TEST_F(LineFaults, PackSettingsStoppedBeforeTheirEndAreNotFollowedByTheUpgrade)
{
    startSim(sim, {});
    std::string adn = settingsFile("Pack ");
    adn.replace(adn.find("Pack 3|"), 6, "thirteen char");  // entry 3 of a GSM unit holds 12
    const KorprogRun r = korprog({"-upgrade", "-revpack", pack(1000, adn), "-binfile", "app.bin"});
    // Known before anything goes: refused whole, not stopped at entry 3.
    EXPECT_EQ(r.rc, 3);
    EXPECT_NE(r.err.find("korprog: texts too long for the unit: entry 3 (Algemeen, PIN-code SIM) has 13 characters, "
                         "at most 12; nothing was programmed\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(count(sim.log(), "<- upload request"), 0);
    EXPECT_EQ(count(sim.log(), "<- download request"), 0) << "not even the backup";
    EXPECT_EQ(count(sim.log(), "<- upgrade request"), 0) << "the unit stays as it was, out of its boot loader";
    EXPECT_FALSE(fs::exists(sim.path("image.bin")));
}

TEST_F(LineFaults, PortRemovedWhileProgrammingEndsTheRunAsLostCode6AndTheUnitBackOnTheSameNameIsProgrammed)
{
    const std::string link = dir + "/korvan0";
    // Paced: unpaced, a loaded machine can finish the upload between two looks.
    startSim(sim, {"--baud", "9600"}, link);
    bool removed = false;
    const KorprogRun first = korprog({"-program", "new.adn"}, 20, 0, [&](double) {
        if (!removed && count(sim.log(), "stored entry") >= 40) {
            sim.stop();  // the terminal closes and the link goes
            removed = true;
        }
    });
    ASSERT_TRUE(removed);
    EXPECT_EQ(first.rc, 6);
    EXPECT_TRUE(lostDuringProgramming(first.err)) << first.err;
    EXPECT_EQ(ksimtest::readFile(sim.path("unit.adn")), oldSettings);

    SimProcess back;
    startSim(back, {}, link);
    const KorprogRun second = korprog({"-program", "new.adn"});
    EXPECT_EQ(second.rc, 0) << second.err;
    EXPECT_EQ(ksimtest::readFile(sim.path("unit.adn")), newSettings);
    back.stop();
}

TEST_F(LineFaults, FullDiskLeavesThePreferencesAsTheyWereAndRefusesAnUpgradeWithoutItsSettings)
{
    startSim(sim, {});
    const std::string ini = read(home + "config.ini") + "korvantype=KV8888GM-ED;Alarmbox\nlastrevpack=KV-old\n";
    write(home + "config.ini", ini);
    const KorprogRun program = korprog({"-program", "new.adn"}, 20, 32);
    // The unit is programmed, but a run that lost its preferences does not
    // end as if all went well (what it says is cut by the same limit).
    EXPECT_EQ(program.rc, 1) << program.err;
    EXPECT_EQ(ksimtest::readFile(sim.path("unit.adn")), newSettings);
    EXPECT_EQ(read(home + "config.ini"), ini) << "preferences that cannot be written whole stay as they were";

    // The pack's image carries settings that cannot be written out: the
    // image must not go without them, so nothing goes at all.
    fs::create_directory(dir + "/" + home + "adn_pre_update.adn");
    const std::string name = pack(1000, settingsFile("Pack "));
    const KorprogRun upgrade = korprog({"-upgrade", "-revpack", name, "-binfile", "app.bin"});
    EXPECT_EQ(upgrade.rc, 1);
    EXPECT_NE(upgrade.err.find("korprog: the settings of image app.bin cannot be prepared; nothing was sent\n"),
              std::string::npos)
        << upgrade.err;
    EXPECT_EQ(sim.log().find("<- upgrade request"), std::string::npos);
    EXPECT_EQ(count(sim.log(), "<- upload request"), 1) << "only the first run programmed";
}

TEST_F(LineFaults, FullDiskWhileMakingAPackKeepsThePreviousPackAndPublishesNoCutOne)
{
    std::string img(0x100 + 6000, '\x20');
    img.replace(16, 15, "B.49KV8888GM-ED");
    img.replace(0x100 + 32, 22, "VERSION: KV-4.20 XTR  ");
    fs::create_directories(dir + "/images");
    write("images/KV8888GM-ED_4.20.bin", img);
    write("images/BOOT_LOAD_B49.bin", std::string(1600, '\x49'));
    auto packFiles = [this] {
        std::vector<std::string> files;
        // The restrictions file and its copy live beside the packs.
        for (const auto& e : fs::directory_iterator(packs))
            if (e.path().stem() != "SwHwRestrictions") files.push_back(e.path().filename().string());
        std::sort(files.begin(), files.end());
        return files;
    };
    ASSERT_EQ(korprog({"-cmdl_crtrpa", "-bindir", "images"}).rc, 0);
    const std::vector<std::string> before = packFiles();
    ASSERT_EQ(before.size(), 1u);
    const std::string previous = ksimtest::readFile(packs + "/" + before[0]);

    img[0x100 + 500] = 'y';  // another checksum: another pack
    write("images/KV8888GM-ED_4.20.bin", img);
    const KorprogRun full = korprog({"-cmdl_crtrpa", "-bindir", "images"}, 20, 4096);
    EXPECT_EQ(full.rc, 1);
    EXPECT_NE(full.err.find("korprog: Cannot write "), std::string::npos) << full.err;
    EXPECT_NE(full.err.find("temp.rpa: File too large"), std::string::npos) << "with the system's reason: " << full.err;
    EXPECT_EQ(packFiles(), before) << "neither a cut pack nor its work file";
    EXPECT_EQ(ksimtest::readFile(packs + "/" + before[0]), previous);

    const KorprogRun room = korprog({"-cmdl_crtrpa", "-bindir", "images"});
    EXPECT_EQ(room.rc, 0) << room.err;
    EXPECT_EQ(packFiles().size(), 2u);
}

}  // namespace

#endif
