#ifndef TESTS_SUPPORT_KORPROGDIRTEST_H
#define TESTS_SUPPORT_KORPROGDIRTEST_H

// A directory of the test's own for runs of the built program: it starts in
// `dir` and keeps its data there, in the user's directory `user` with the
// pack directory `packs` (neither made here). Relative paths are taken in
// `dir`.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "korvansim/SimProcess.h"
#include "support/TempDir.h"

class KorprogDirTest : public ::testing::Test {
protected:
    explicit KorprogDirTest(const char* prefix) : scratch(prefix) {}

    void SetUp() override
    {
        ASSERT_TRUE(scratch.ok());
        dir = scratch.path();
        user = dir / "Ombrix/Korvan Tools/Programmer";
        packs = user / "RevPacks";
    }
    std::string read(const std::filesystem::path& p) const { return ksimtest::readFile((dir / p).string()); }
    // The names of the files in `where`, sorted; none when it is missing.
    std::vector<std::string> names(const std::filesystem::path& where) const
    {
        std::vector<std::string> found;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(dir / where, ec))
            found.push_back(e.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }
    void write(const std::filesystem::path& p, const std::string& text) const
    {
        std::ofstream(dir / p, std::ios::binary) << text;
    }

    TempDir scratch;
    std::filesystem::path dir, user, packs;
};

#endif
