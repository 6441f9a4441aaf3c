#include "korprog/progctrl/Data/RPFileCheck.h"

#include <FL/Fl_Preferences.H>
#include <algorithm>
#include <random>
#include <string>

#include "DataTest.h"

namespace {

const std::string HEADER = "; FLTK preferences file format 1.0\n; vendor: RevPacks\n; application: t\n\n[.]\n\n";

// Whatever FLTK's writer produces passes: random groups and entries with
// texts of every byte value (escapes land across continuation lines),
// integers and byte blocks, written by Fl_Preferences itself.
TEST(RPFileCheck, EveryFileTheWriterProducesPasses)
{
    TempDir dir{"kpdata", TempDir::ENTER};
    ASSERT_TRUE(dir.ok());
    std::mt19937 rng(12);
    for (int round = 0; round < 60; ++round) {
        {
            Fl_Preferences p(dir.path().c_str(), "RevPacks", "t");
            p.clear();
            for (int g = 0; g < 4; ++g) {
                Fl_Preferences grp(p, ("g" + std::to_string(g)).c_str());
                for (int e = 0; e < 6; ++e) {
                    std::string text(rng() % 300, ' ');
                    for (char& c : text) c = rng() % 8 == 0 ? '\\' : static_cast<char>(1 + rng() % 255);
                    grp.set(("k" + std::to_string(e)).c_str(), text.c_str());
                    grp.set(("n" + std::to_string(e)).c_str(), static_cast<int>(rng()));
                    grp.set(("d" + std::to_string(e)).c_str(), text.data(), static_cast<int>(text.size()));
                }
            }
        }
        std::string why;
        ASSERT_TRUE(RPFileCheck::wellFormed(TempDir::read(dir.path() + "/t.prefs"), &why)) << round << ": " << why;
    }
}

// Inputs on which FLTK 1.3's reader crashes or reads past a value are
// refused before it sees them; what the reader handles is let through as
// the reader sees it.
TEST(RPFileCheck, InputsThatBreakTheReaderAreRefused)
{
    const std::string good[] = {"[./G]\n\nk:v\n+more\n\n[./H]\nx:\\\\\\n\\r\\001\n",
        "[./G]\nk:abc\\\n+n and \\0\n+12\n",      // an escape completed by the continuation line
        "[./G]\nk:bad\\\nk:ok\n",                  // a repeated key replaces the value
        "[./G]\r\nk:v\r\\\n",                      // the reader ends a line at CR
        "[./G]\n" + std::string(200, 'k') + ":v\n"};  // keys are cut to 127 characters
    const std::string bad[] = {"[foo]\nx:1\n", "[.foo]\nx:1\n", "[./" + std::string(126, 'a') + "]\nx:1\n",  // path buffer
        "[./a/b]\nx:1\n", "[./]\nx:1\n",
        "[./G]\nk:abc\\\n", "[./G]\nk:abc\\1\n", "[./G]\nk:abc\\01\n", "[./G]\nk:\\q\n",  // broken escapes
        "[./G]\n;note\n+tail\n", "[./G]\nnote\n", "[./G]\n+orphan\n", "[./G]\nk:v\n[./H]\n+other section\n",
        "[./G]\nk:ok\nj:x\nk:bad\\\n",  // the repeated key's new value ends in a lone backslash
        std::string("[./G]\nk:v\0x\n", 11), "[./G]\nk:" + std::string(1000, 'v') + "\n"};
    for (const std::string& s : good) EXPECT_TRUE(RPFileCheck::wellFormed(HEADER + s)) << s;
    for (const std::string& s : bad) EXPECT_FALSE(RPFileCheck::wellFormed(HEADER + s)) << s;
    EXPECT_FALSE(RPFileCheck::wellFormed(std::string(1200, ';') + "\n" + HEADER));  // header split by the reader
}

// Sections in the order they first appear, the root first; a repeated
// section goes on, a repeated key keeps its place with its new value.
TEST(RPFileCheck, ParseGivesSectionsAndEntriesAsTheReaderKeepsThem)
{
    RPFileCheck::Sections s;
    ASSERT_TRUE(RPFileCheck::parse(HEADER + "r:1\n[./B]\nx:1\ny:2\n+3\n[./A]\nz:0\n[./B]\nx:9\n+8\n", s));
    ASSERT_EQ(3u, s.size());
    EXPECT_EQ(".", s[0].path);
    EXPECT_EQ("./B", s[1].path);
    EXPECT_EQ("./A", s[2].path);
    const std::vector<std::pair<std::string, std::string>> b = {{"x", "98"}, {"y", "23"}};
    EXPECT_EQ(b, s[1].entries);
}

// Limits are met line by line, so that nothing larger than a pack can hold
// is read: a value one character longer than an image of 102400 bytes,
// hex-coded; more groups or entries than any pack has.
TEST(RPFileCheck, SizesAboveWhatAPackHoldsAreRefusedWhereTheyAreMet)
{
    const size_t max = RPFileCheck::MAX_VALUE;
    std::string file = HEADER + "[./G]\nd:" + std::string(60, '0') + "\n";
    int lines = 8;  // the line of "d:"
    for (size_t n = 60; n < max; n += 80, ++lines) file += "+" + std::string(std::min<size_t>(80, max - n), '0') + "\n";
    std::string why;
    EXPECT_TRUE(RPFileCheck::wellFormed(file, &why)) << why;
    EXPECT_FALSE(RPFileCheck::wellFormed(file + "+0\n", &why));
    EXPECT_EQ("line " + std::to_string(lines + 1) + ": value longer than 204800 characters", why);

    auto groups = [](size_t n, size_t entries) {
        std::string f = HEADER;
        for (size_t g = 0; g < n; ++g) {
            f += "[./g" + std::to_string(g) + "]\n";
            for (size_t e = 0; e < entries; ++e) f += std::to_string(e) + ":x\n";
        }
        return f;
    };
    EXPECT_TRUE(RPFileCheck::wellFormed(groups(RPFileCheck::MAX_GROUPS - 1, 1)));  // and the root
    EXPECT_FALSE(RPFileCheck::wellFormed(groups(RPFileCheck::MAX_GROUPS, 1), &why));
    EXPECT_NE(std::string::npos, why.find("more than 256 groups")) << why;
    EXPECT_TRUE(RPFileCheck::wellFormed(groups(1, RPFileCheck::MAX_GROUP_ENTRIES)));
    EXPECT_FALSE(RPFileCheck::wellFormed(groups(1, RPFileCheck::MAX_GROUP_ENTRIES + 1), &why));
    EXPECT_NE(std::string::npos, why.find("more than 512 entries in [./g0]")) << why;
    EXPECT_TRUE(RPFileCheck::wellFormed(groups(8, RPFileCheck::MAX_ENTRIES / 8)));
    EXPECT_FALSE(RPFileCheck::wellFormed(groups(9, RPFileCheck::MAX_ENTRIES / 8), &why));
    EXPECT_NE(std::string::npos, why.find("more than 4096 entries")) << why;
}

}  // namespace
