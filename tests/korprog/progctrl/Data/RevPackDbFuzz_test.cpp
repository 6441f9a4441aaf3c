// Random and mutated pack files through selecting a pack and loading its
// images. Run under the sanitizer build, this is what shows that no file,
// however broken, makes the database read or write outside its buffers.
// The seed is fixed; the run stops after a few seconds.

#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "RevPackDbTestKit.h"
#include "TempDir.h"
#include "bdebug/BTrace.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/RPFileCheck.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "support/ScriptedDialogs.h"

namespace {

const unsigned SEED = 20240611;
const auto BUDGET = std::chrono::seconds(3);
const int MAX_ROUNDS = 5000;

std::vector<std::string> seedPacks(RevPackDb& db, const std::string& dir)
{
    TestImage app;
    app.name = "KV8888GM-ED_4.12.bin";
    app.type = "KV8888GM-ED";
    app.version = "KV-4.12";
    app.hardware = "B.49";
    app.special = " EXTRA";
    app.data = "....B.49KV8888GM-ED....VERSION: KV-4.12 EXTRA" + std::string(300, '\x5a');
    app.adnFile = "KV8888GM-ED_4.12.adn";
    app.adnData = "1;a;\r\r\n2;b;\r\n";
    TestImage other = app;
    other.name = "KV4400WS-BX_5.01.bin";
    other.adnFile.clear();
    std::vector<std::string> out;
    rptest::writePack(db, "seed1", {app, rptest::bootLoader("BOOT_LOAD_B49.bin", "49", 300), other,
                                    rptest::bootLoader("BOOT_LOAD_B.bin", "00", 200)});
    out.push_back(TempDir::read(dir + "/seed1.rpa"));
    rptest::writePack(db, "seed2", {other, rptest::bootLoader("BOOT_LOAD_X.bin", "00", 50)}, false);
    out.push_back(TempDir::read(dir + "/seed2.rpa"));
    return out;
}

// Pieces that the reader of the preferences format is known to trip on,
// and sizes that would overrun the buffers if they were believed.
const char* const NASTY[] = {
    "\n[foo]\n", "\n[./" "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa]\n",
    "\nk:\\\n", "\nk:\\1\n", "\n;c\n+x\n", "\n+orphan\n", "\nsize:200000\n", "\nsize:-1\n",
    "\nadnsize:999999\n", "\nsize:2147483647\n", "\n[./KV8888GM-ED_4.12.bin]\nsize:102401\n", "\n[.]\n",
    "\n[./BinFileList_2]\nBOOT_LOAD_Z:BOOT_LOAD_Z\n", "\nhardware:49\n", "[", "]", "\\", ":", "+", "\r", "\n",
};

std::string mutate(std::string s, std::mt19937& rng, const std::vector<std::string>& seeds)
{
    auto pick = [&](size_t n) { return n ? rng() % n : 0; };
    const int steps = 1 + static_cast<int>(rng() % 6);
    for (int k = 0; k < steps; ++k) {
        switch (rng() % 9) {
        case 0:  // flip bits
            if (!s.empty()) s[pick(s.size())] ^= static_cast<char>(1 << (rng() % 8));
            break;
        case 1:  // random bytes, NUL among them
            s.insert(pick(s.size() + 1), std::string(1 + rng() % 8, static_cast<char>(rng())));
            break;
        case 2: {  // cut a piece out
            const size_t at = pick(s.size() + 1);
            s.erase(at, rng() % 200);
            break;
        }
        case 3:  // truncate
            s.resize(pick(s.size() + 1));
            break;
        case 4: {  // a nasty piece
            const size_t n = sizeof NASTY / sizeof NASTY[0];
            s.insert(pick(s.size() + 1), NASTY[pick(n)]);
            break;
        }
        case 5: {  // a number changed
            const size_t colon = s.find(':', pick(s.size()));
            if (colon != std::string::npos) {
                static const char* const nums[] = {"-1", "0", "2047", "2048", "102400", "102401", "999999999", "49"};
                s.insert(colon + 1, nums[pick(8)]);
            }
            break;
        }
        case 6: {  // a line copied elsewhere
            const size_t a = s.find('\n', pick(s.size()));
            if (a == std::string::npos) break;
            const size_t b = s.find('\n', a + 1);
            s.insert(pick(s.size() + 1), s.substr(a, b == std::string::npos ? std::string::npos : b - a));
            break;
        }
        case 7:  // a splice of another pack
            if (!seeds.empty()) {
                const std::string& o = seeds[pick(seeds.size())];
                const size_t from = pick(o.size());
                s.insert(pick(s.size() + 1), o.substr(from, rng() % 400));
            }
            break;
        default: {  // a long line
            s.insert(pick(s.size() + 1), std::string(900 + rng() % 300, static_cast<char>('a' + rng() % 26)));
            break;
        }
        }
    }
    return s;
}

TEST(RevPackDbFuzz, BrokenPacksNeverReachOutsideTheBuffers)
{
    TempDir tmp;
    ASSERT_TRUE(tmp.ok());
    Language::destroy();
    ScriptedDialogs dialogs;
    RecordingOwner owner;
    const std::string packs = tmp.path() + "/RevPacks";
    rptest::makeDir(packs);
    std::unique_ptr<RevPackDb> db(new RevPackDb(&owner, packs.c_str()));
    db->sleepFunc(nullptr);
    std::string trace;
    BTrace::capture(&trace);

    const std::vector<std::string> seeds = seedPacks(*db, packs);
    std::mt19937 rng(SEED);
    const auto start = std::chrono::steady_clock::now();
    int rounds = 0, read = 0;
    for (; rounds < MAX_ROUNDS && std::chrono::steady_clock::now() - start < BUDGET; ++rounds) {
        std::string bytes;
        if (rng() % 10 == 0) {  // plain noise, now and then shaped like text
            bytes.resize(rng() % 4000);
            for (char& c : bytes) c = static_cast<char>(rng() % 3 ? 32 + rng() % 95 : rng());
        } else {
            bytes = mutate(seeds[rng() % seeds.size()], rng, seeds);
        }
        TempDir::write(packs + "/f[1a2b].rpa", bytes);
        read += RPFileCheck::wellFormed(bytes);
        RevPackDb::setActHwSwVers("KV8888GM-ED", "KV-4.12", " EXTRA", rng() % 2 ? "B.49" : "B.4");

        db->selectRpFile("f[1a2b].rpa");
        ASSERT_LE(db->actNrBinFiles(), RevPackDb::MAX_NR_FILES);
        ASSERT_LE(db->nrBootFiles(), RevPackDb::MAX_BOOTFILES);
        std::vector<std::string> names;
        for (int i = 0; i < db->actNrBinFiles(); ++i) names.push_back(db->actBinFile(i));
        names.push_back("KV8888GM-ED_4.12.bin");
        names.push_back(std::string(3000, 'n'));
        for (const std::string& name : names) {
            db->autoProgAdnFile(rng() % 2);
            db->setBinData(name.c_str());
            ASSERT_GE(db->binSize(), 0);
            ASSERT_LE(db->binSize(), RevPackDb::MAX_BINFILE_SIZE);
            ASSERT_LE(db->adnSize(), RevPackDb::MAX_BINFILE_SIZE);
            const char* hw = nullptr;
            const char* special = nullptr;
            ASSERT_LE(std::strlen(db->getKorTypeFmBin(hw)), 11u);
            ASSERT_LE(std::strlen(db->getSwVersionFmBin(special)), 7u);
        }
        db->setBootData(rng() % 2 ? nullptr : "49");
        ASSERT_GE(db->bootSize(), 0);
        ASSERT_LE(db->bootSize(), RevPackDb::MAX_BOOT_SIZE);
        db->checkBtlHwVersion();
        db->checkCheckSum("f[1a2b].rpa", false);
        db->clearDb();
        // Reading a pack never writes it.
        ASSERT_EQ(bytes, TempDir::read(packs + "/f[1a2b].rpa")) << "round " << rounds;

        dialogs.alerts.clear();
        owner.status.clear();
        trace.clear();
    }
    BTrace::capture(nullptr);
    RevPackDb::setActHwSwVers("", "", "", "");
    RevPackDb::activeAdnFileReset();
    // Most mutants must reach the preferences reader, or it is not tried.
    EXPECT_GT(rounds, 20);
    EXPECT_GT(read * 4, rounds);
    std::printf("fuzz rounds: %d, read by the preferences reader: %d\n", rounds, read);
}

}  // namespace
