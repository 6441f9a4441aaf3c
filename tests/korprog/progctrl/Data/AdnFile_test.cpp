// The settings file's two reading rules, and what a refused file leaves.

#include "korprog/progctrl/Data/AdnFile.h"

#include <filesystem>
#include <string>

#include "DataTest.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "support/KvSettingsFile.h"

namespace {

class AdnFileTest : public DataTest {
protected:
    // The reason a rule gives for content; "" when it takes it.
    std::string refusal(const std::string& content, AdnFile::Rule rule)
    {
        TempDir::write("f.adn", content);
        std::string why;
        return AdnFile::read("f.adn", rule, nullptr, &why) == AdnFile::LOADED ? "" : why;
    }
    std::string lines(int n, const std::string& line)
    {
        std::string f;
        for (int k = 0; k < n; ++k) f += line + "\n";
        return f;
    }
};

TEST_F(AdnFileTest, StrictRuleRefusesWhatTheWindowWouldChange)
{
    const std::string good = settingsFile("x");
    const struct {
        std::string content;
        const char* strict;  // what -program says; "" when it takes the file
        bool windowTakes;
    } cases[] = {
        {good, "", true},
        {"a|1\r\nb|2\r\n", "", true},
        {"x|" + std::string(20, '1') + "\n" + std::string(50, 't') + "|\n", "", true},
        {"a|1\nb|2", "", true},
        {"a|1\njust text\n", "line 2 has no '|'", true},
        {"a|1\nb", "line 2 has no '|'", true},
        {std::string(51, 't') + "|1\n", "line 1 has a text part longer than 50", true},
        {"a|" + std::string(21, '1') + "\n", "line 1 has a number part longer than 20", true},
        {std::string(40, ';') + std::string(40, 't') + "|1\n", "line 1 holds a ';' in its text, which no setting can carry",
         true},
        {"a|1\nhal/keuken|2\n", "line 2 holds a '/' in its text, which no setting can carry", true},
        {good + "extra|1\n", "it has more than 200 lines", true},
        {good + "extra|1", "it has more than 200 lines", true},
        {"a|1\nb\"c|2\n", "line 2 holds a '\"', which no setting can carry", true},
        {"", "it is empty", true},
        {std::string("a|1\n\0|2\n", 8), "it holds a NUL byte", false},
    };
    for (const auto& c : cases) {
        const std::string strict = *c.strict ? std::string("not a settings file (") + c.strict + ")" : "";
        EXPECT_EQ(refusal(c.content, AdnFile::STRICT), strict) << c.content;
        EXPECT_EQ(refusal(c.content, AdnFile::TOLERANT).empty(), c.windowTakes) << c.content;
    }
}

TEST_F(AdnFileTest, RefusedFileLeavesTheBinAsItWas)
{
    SettingBin bin(nullptr);
    TempDir::write("old.adn", lines(200, "oud|1"));
    std::string why;
    ASSERT_EQ(AdnFile::load(bin, "old.adn", AdnFile::TOLERANT, &why), AdnFile::LOADED) << why;
    bin.setEntry(3, "getypt", "3", false, SBEntry::INVALID_TYPE);
    ASSERT_TRUE(bin.unsavedChanges());

    std::filesystem::create_directory("folder.adn");
    TempDir::write("binary.adn", std::string("a|1\n\0|2\n", 8));
    TempDir::write("short.adn", "a|1\nno bar\n");
    const struct {
        const char* file;
        AdnFile::Rule rule;
        AdnFile::Result result;
        const char* why;
    } cases[] = {
        {"missing.adn", AdnFile::TOLERANT, AdnFile::CANNOT_OPEN, "no such settings file"},
        {"folder.adn", AdnFile::TOLERANT, AdnFile::CANNOT_OPEN, "not a settings file (not a plain file)"},
        {"binary.adn", AdnFile::TOLERANT, AdnFile::NOT_SETTINGS, "not a settings file (it holds a NUL byte)"},
        {"short.adn", AdnFile::STRICT, AdnFile::NOT_SETTINGS, "not a settings file (line 2 has no '|')"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AdnFile::load(bin, c.file, c.rule, &why), c.result) << c.file;
        EXPECT_EQ(why, c.why);
        EXPECT_STREQ(bin.file(), "old.adn");
        EXPECT_STREQ(bin.getEntry(1)->text, "oud");
        EXPECT_STREQ(bin.getEntry(3)->text, "getypt");
        EXPECT_STREQ(bin.getEntry(200)->tfnr, "1");
        EXPECT_TRUE(bin.unsavedChanges()) << "the edit is still unsaved";
    }
    // The window takes the same file as far as it goes.
    ASSERT_EQ(AdnFile::load(bin, "short.adn", AdnFile::TOLERANT, &why), AdnFile::LOADED) << why;
    EXPECT_STREQ(bin.getEntry(2)->text, "no bar");
    EXPECT_STREQ(bin.getEntry(3)->text, "");
    EXPECT_STREQ(bin.file(), "short.adn");
    EXPECT_FALSE(bin.unsavedChanges());
}

TEST_F(AdnFileTest, LoadedFileLeavesTheImeiAndImsiNumbersEmpty)
{
    SettingBin bin(nullptr);
    std::string file;
    for (int k = 1; k <= 200; ++k) file += "t" + std::to_string(k) + "|" + std::to_string(k) + "\n";
    TempDir::write("unit.adn", file);
    std::string why;
    ASSERT_EQ(AdnFile::load(bin, "unit.adn", AdnFile::STRICT, &why), AdnFile::LOADED) << why;
    EXPECT_STREQ("114", bin.getEntry(114)->tfnr);
    EXPECT_STREQ("t115", bin.getEntry(115)->text);
    EXPECT_STREQ("", bin.getEntry(115)->tfnr);
    EXPECT_STREQ("", bin.getEntry(116)->tfnr);
    EXPECT_STREQ("117", bin.getEntry(117)->tfnr);
}

}  // namespace
