#include "korprog/AtomicFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string read(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(scratch.ok());
        dir = scratch.path();
        fs::create_directory(dir / "shared");
    }
    bool save(const fs::path& target, const std::string& text)
    {
        AtomicFile f(target.string());
        return f.write(text.data(), text.size());
    }
    size_t files(const fs::path& d) const { return size_t(std::distance(fs::directory_iterator(d), {})); }
    TempDir scratch{"kpatomic"};
    fs::path dir;
};

// A user who keeps a file elsewhere and links it in keeps the link: the file
// at its end is the one replaced, by way of links relative or absolute, one
// or a chain, and a link whose file is not there yet gets it.
TEST_F(AtomicFileTest, LinkedTargetStaysALinkAndTheFileItNamesIsReplaced)
{
    std::ofstream(dir / "shared/config.ini") << "old\n";
    fs::create_symlink("shared/config.ini", dir / "config.ini");
    fs::create_symlink(dir / "config.ini", dir / "second.ini");
    ASSERT_TRUE(save(dir / "second.ini", "new\n"));
    EXPECT_TRUE(fs::is_symlink(dir / "second.ini"));
    EXPECT_TRUE(fs::is_symlink(dir / "config.ini"));
    EXPECT_EQ(read(dir / "shared/config.ini"), "new\n");
    EXPECT_EQ(files(dir / "shared"), 1u) << "no work file left beside the target";

    fs::create_symlink("shared/unit.adn", dir / "unit.adn");
    ASSERT_TRUE(save(dir / "unit.adn", "1|2\n"));
    EXPECT_TRUE(fs::is_symlink(dir / "unit.adn"));
    EXPECT_EQ(read(dir / "shared/unit.adn"), "1|2\n");
}

TEST_F(AtomicFileTest, FailureSaysWhyAndLeavesNothing)
{
    AtomicFile intoDirectory((dir / "shared").string());
    EXPECT_EQ(intoDirectory.open(), nullptr);
    EXPECT_EQ(intoDirectory.error(), EISDIR);
    AtomicFile nowhere((dir / "none/config.ini").string());
    EXPECT_EQ(nowhere.open(), nullptr);
    EXPECT_EQ(nowhere.error(), ENOENT);
    fs::create_symlink("loop", dir / "loop");
    AtomicFile loop((dir / "loop").string());
    EXPECT_EQ(loop.open(), nullptr);
    EXPECT_EQ(loop.error(), ELOOP);
    EXPECT_TRUE(fs::is_symlink(dir / "loop"));
}

}  // namespace
