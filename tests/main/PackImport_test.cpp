#include "main/PackImport.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/KvTestPack.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

std::string read(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

std::vector<std::string> names(const fs::path& dir)
{
    std::vector<std::string> n;
    for (const auto& e : fs::directory_iterator(dir)) n.push_back(e.path().filename().string());
    std::sort(n.begin(), n.end());
    return n;
}

// A pack directory, and a pack that verifies in a directory of its own.
class PackImportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(scratch.ok());
        dir = scratch.path();
        fs::create_directories(dir / "packs");
        fs::create_directories(dir / "given");
        KvTestPack p;
        p.data = KvTestPack::image(3000);
        file = p.write((dir / "given").string(), "KV-6.01") + ".rpa";
        good = read(dir / "given" / file);
    }
    TempDir scratch{"kpimport"};
    fs::path dir;
    std::string file, good;
    ScriptedDialogs dialogs;
};

TEST_F(PackImportTest, AVerifiedPackIsNeverReplacedByADamagedOne)
{
    const std::string given = (dir / "given" / file).string(), packs = (dir / "packs").string();
    ASSERT_TRUE(PackImport::verifies(file, good));

    EXPECT_EQ(PackImport::copy(given, packs), PackImport::PLACED);
    EXPECT_EQ(read(dir / "packs" / file), good);
    EXPECT_EQ(PackImport::copy(given, packs), PackImport::SAME);

    // A cut copy of the pack does not verify: the stored one stays.
    write(given, good.substr(0, good.size() / 2));
    EXPECT_EQ(PackImport::copy(given, packs), PackImport::KEPT);
    EXPECT_EQ(read(dir / "packs" / file), good);
    EXPECT_EQ(dialogs.alerts, std::vector<std::string>{"Revisiepakket \"" + file +
                                                       "\" klopt niet met zijn checksum: het bewaarde pakket blijft."});
    // A stored pack that does not verify is replaced by one that does.
    write(dir / "packs" / file, "damaged");
    write(given, good);
    EXPECT_EQ(PackImport::copy(given, packs), PackImport::PLACED);
    EXPECT_EQ(read(dir / "packs" / file), good);
    EXPECT_EQ(names(packs), std::vector<std::string>{file});

    dialogs.alerts.clear();
    EXPECT_EQ(PackImport::copy((dir / "given/none.rpa").string(), packs), PackImport::FAILED);
    EXPECT_EQ(dialogs.alerts, std::vector<std::string>{"Revisiepakket \"none.rpa\" kan niet gekopieerd worden naar " +
                                                       packs + ": No such file or directory."});
}

// Packs an older version kept where it was started move in, in name order;
// what is no pack, and a pack that cannot be placed, stay where they are.
TEST_F(PackImportTest, OldPacksMoveInAndWhatCannotBePlacedStays)
{
    const fs::path old = dir / "start/RevPacks";
    fs::create_directories(old);
    write(old / "a10.rpa", "a10");
    write(old / "a9.RPA", "a9");
    write(old / "notes.txt", "notes");
    write(old / file, good.substr(0, good.size() - 10));  // cut; the stored one verifies
    write(dir / "packs" / file, good);
    EXPECT_EQ(PackImport::moveOld(old.string(), (dir / "packs").string()), 2);
    EXPECT_EQ(names(old), (std::vector<std::string>{file, "notes.txt"}));
    EXPECT_EQ(names(dir / "packs"), (std::vector<std::string>{file, "a10.rpa", "a9.RPA"}));
    EXPECT_EQ(read(dir / "packs" / file), good);
    EXPECT_EQ(read(dir / "packs/a9.RPA"), "a9");

    // The pack directory itself is no old location.
    EXPECT_EQ(PackImport::moveOld((dir / "packs").string(), (dir / "packs/.").string()), 0);
    EXPECT_EQ(names(dir / "packs").size(), 3u);
}

}  // namespace
