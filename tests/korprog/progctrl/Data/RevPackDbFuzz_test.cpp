// Random and mutated pack files through selecting a pack and loading its
// images. Under the sanitizer build this shows that no file, however broken,
// makes the database reach outside its buffers. Now and then the pack is a
// directory instead, which must read as a file that cannot be opened. Fixed
// seed, a few seconds.

#include <chrono>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "RevPackDbTestKit.h"
#include "DataTest.h"
#include "bdebug/BTrace.h"
#include "korprog/progctrl/Data/RPFileCheck.h"

namespace {

// Pieces the preferences reader is known to trip on, and sizes that would
// overrun the buffers if they were believed.
const char* const NASTY[] = {"\n[foo]\n", "\nk:\\\n", "\nk:\\1\n", "\n;c\n+x\n", "\n+orphan\n",
    "\nsize:200000\n", "\nsize:-1\n", "\nadnsize:999999\n", "\nsize:102401\n", "\n[.]\n", "\nhardware:49\n",
    "\n[./BinFileList_2]\nBOOT_LOAD_Z:BOOT_LOAD_Z\n", "\n[./BOOT_LOAD_Z]\nsize:4000\n", "[", "]", "\\", ":", "+", "\r"};

std::string mutate(std::string s, std::mt19937& rng, const std::string& other)
{
    auto at = [&](size_t n) { return rng() % (n + 1); };
    for (int k = 1 + rng() % 6; k > 0; --k) {
        switch (rng() % 7) {
        case 0: if (!s.empty()) s[at(s.size() - 1)] ^= static_cast<char>(1 << (rng() % 8)); break;
        case 1: s.insert(at(s.size()), std::string(1 + rng() % 8, static_cast<char>(rng()))); break;  // NUL too
        case 2: s.erase(at(s.size()), rng() % 200); break;
        case 3: s.resize(at(s.size())); break;
        case 4: s.insert(at(s.size()), NASTY[rng() % (sizeof NASTY / sizeof NASTY[0])]); break;
        case 5: s.insert(at(s.size()), other.substr(at(other.size()), rng() % 400)); break;
        default: s.insert(at(s.size()), "\n[./" + std::string(90 + rng() % 1100, 'a' + rng() % 26) + "]\n");
        }
    }
    return s;
}

using RevPackDbFuzz = DataTest;

TEST_F(RevPackDbFuzz, BrokenPacksNeverReachOutsideTheBuffers)
{
    RecordingOwner owner;
    const std::string packs = dir.path() + "/RevPacks", file = "f[1a2b].rpa";
    std::filesystem::create_directory(packs);
    std::unique_ptr<RevPackDb> db(new RevPackDb(&owner, packs.c_str()));
    db->sleepFunc(nullptr);
    std::string trace;
    BTrace::capture(&trace);
    struct Uncapture { ~Uncapture() { BTrace::capture(nullptr); } } uncapture;  // also when an assertion ends the test

    TestImage app = testImage("KV8888GM-ED_4.12.bin", 0);
    app.data = "....B.49KV8888GM-ED....VERSION: KV-4.12 EXTRA" + std::string(300, '\x5a');
    app.adnFile = "a.adn";
    app.adnData = "1;a;\r\r\n2;b;\r\n";
    writePack(*db, "s1", {app, testImage("BOOT_LOAD_B49", 300, "49"), testImage("x.bin", 90), testImage("BOOT_LOAD_B", 20, "00")});
    writePack(*db, "s2", {testImage("y.bin", 40), testImage("BOOT_LOAD_X", 50, "00")}, true);
    const std::string seeds[] = {TempDir::read(packs + "/s1.rpa"), TempDir::read(packs + "/s2.rpa")};

    std::mt19937 rng(20240611);
    const auto start = std::chrono::steady_clock::now();
    int rounds = 0, read = 0, dirRounds = 0;
    for (; rounds < 5000 && std::chrono::steady_clock::now() - start < std::chrono::seconds(3); ++rounds) {
        std::string bytes;
        if (rng() % 10 == 0) {  // noise, mostly printable
            bytes.resize(rng() % 4000);
            for (char& c : bytes) c = static_cast<char>(rng() % 3 ? 32 + rng() % 95 : rng());
        } else {
            bytes = mutate(seeds[rng() % 2], rng, seeds[rng() % 2]);
        }
        const bool asDir = rng() % 16 == 0;
        if (asDir)
            std::filesystem::remove(packs + "/" + file), std::filesystem::create_directory(packs + "/" + file);
        else
            TempDir::write(packs + "/" + file, bytes);
        read += !asDir && RPFileCheck::wellFormed(bytes);
        RevPackDb::setActHwSwVers("KV8888GM-ED", "KV-4.12", " EXTRA", rng() % 2 ? "B.49" : "B.4");

        db->selectRpFile(file.c_str());  // as "-upgrade -revpack" does
        ASSERT_LE(db->actNrBinFiles(), asDir ? 0 : RevPackDb::MAX_NR_FILES);
        ASSERT_LE(db->nrBootFiles(), RevPackDb::MAX_BOOTFILES);
        std::vector<std::string> names{app.name, std::string(3000, 'n')};
        for (int i = 0; i < db->actNrBinFiles(); ++i) names.push_back(db->actBinFile(i));
        for (const std::string& name : names) {
            db->autoProgAdnFile(rng() % 2);
            db->setBinData(name.c_str());
            ASSERT_TRUE(db->binSize() >= 0 && db->binSize() <= RevPackDb::MAX_BINFILE_SIZE);
            ASSERT_LE(db->adnSize(), RevPackDb::MAX_BINFILE_SIZE);
            const char *hw, *special;
            ASSERT_LE(std::strlen(db->getKorTypeFmBin(hw)), 11u);
            ASSERT_LE(std::strlen(db->getSwVersionFmBin(special)), 7u);
        }
        db->setBootData(rng() % 2 ? nullptr : "49");
        ASSERT_TRUE(db->bootSize() >= 0 && db->bootSize() <= RevPackDb::MAX_BOOT_SIZE);
        db->checkBtlHwVersion();
        db->checkCheckSum(file.c_str(), false);
        ASSERT_FALSE(db->checkCheckSum("", rng() % 2)) << "the empty name";
        db->selectRpFile("");
        db->clearDb();
        if (asDir) {
            ASSERT_FALSE(db->checkCheckSum(file.c_str(), false));
            ASSERT_EQ(db->readCheckSum((packs + "/" + file).c_str()), 0);
            ASSERT_NE(trace.find("Error file not found " + packs + "/" + file), std::string::npos);
            std::filesystem::remove(packs + "/" + file);
            ++dirRounds;
        } else {
            ASSERT_EQ(bytes, TempDir::read(packs + "/" + file)) << "round " << rounds << ": reading wrote the pack";
        }
        dialogs.alerts.clear();
        owner.status.clear();
        trace.clear();
    }
    RevPackDb::setActHwSwVers("", "", "", "");
    RevPackDb::activeAdnFileReset();
    std::printf("fuzz rounds: %d, read by the preferences reader: %d\n", rounds, read);
    EXPECT_GT(rounds, 20);
    EXPECT_GT(dirRounds, 0);
    const int files = rounds - dirRounds;
    EXPECT_GT(read * 4, files);  // most mutants must get past the format check, or the reader is not tried
    EXPECT_LT(read, files);      // and some must be stopped by it
}

}  // namespace
