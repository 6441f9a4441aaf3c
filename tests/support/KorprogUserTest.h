#ifndef TESTS_SUPPORT_KORPROGUSERTEST_H
#define TESTS_SUPPORT_KORPROGUSERTEST_H

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "korvansim/SimProcess.h"
#include "support/KvSettingsFile.h"
#include "support/TempDir.h"

// Runs of the built program as a user makes them, in a directory of the
// test's own: `dir` is where the program starts and holds the data
// directory, with the user's directory `home` below it (its pack directory
// made), new.adn holding settingsFile("Nieuw ") and one simulated unit.
class KorprogUserTest : public ::testing::Test {
protected:
    explicit KorprogUserTest(const char* prefix) : scratch(prefix) {}

    void SetUp() override
    {
        ASSERT_TRUE(scratch.ok());
        dir = scratch.path();
        packs = dir + "/" + home + "RevPacks";
        std::filesystem::create_directories(packs);
        write("new.adn", newSettings);
    }
    void TearDown() override { sim.stop(); }

    void write(const std::string& name, const std::string& content)
    {
        std::ofstream(dir + "/" + name, std::ios::binary) << content;
    }
    std::string read(const std::string& name) const { return ksimtest::readFile(dir + "/" + name); }
    // config.ini names the port.
    void port(const std::string& device) { write(home + "config.ini", "comport=" + device + "\n"); }

    // The program keeps its files in the user's directory under the data directory.
    const std::string home = "Ombrix/Korvan Tools/Programmer/";
    TempDir scratch;
    std::string dir, packs;
    const std::string newSettings = settingsFile("Nieuw ");
    SimProcess sim;
};

#endif
