#include "korprog/progctrl/Data/RPFileCheck.h"

#include <FL/Fl_Preferences.H>
#include <gtest/gtest.h>
#include <random>
#include <string>

#include "TempDir.h"

namespace {

const std::string HEADER = "; FLTK preferences file format 1.0\n; vendor: RevPacks\n; application: t\n\n[.]\n\n";

bool ok(const std::string& content) { return RPFileCheck::wellFormed(HEADER + content); }

// Whatever FLTK's writer produces passes: random groups and entries with
// texts of every byte value (escapes land across continuation lines),
// integers and byte blocks, written by Fl_Preferences itself.
TEST(RPFileCheck, EveryFileTheWriterProducesPasses)
{
    TempDir dir;
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
// refused before it sees them.
TEST(RPFileCheck, InputsThatBreakTheReaderAreRefused)
{
    EXPECT_TRUE(ok("[./G]\n\nk:v\n+more\n\n[./H]\nx:\\\\\\n\\r\\001\n"));
    EXPECT_FALSE(ok("[foo]\nx:1\n"));                               // section path without "./"
    EXPECT_FALSE(ok("[.foo]\nx:1\n"));
    EXPECT_FALSE(ok("[./" + std::string(126, 'a') + "]\nx:1\n"));  // overflows the path buffer
    EXPECT_FALSE(ok("[./a/b]\nx:1\n"));
    EXPECT_FALSE(ok("[./]\nx:1\n"));
    EXPECT_FALSE(ok("[./G]\nk:abc\\\n"));                           // lone backslash at the end
    EXPECT_FALSE(ok("[./G]\nk:abc\\1\n"));                          // short octal escape
    EXPECT_FALSE(ok("[./G]\nk:abc\\01\n"));
    EXPECT_FALSE(ok("[./G]\nk:\\q\n"));
    EXPECT_FALSE(ok("[./G]\n;note\n+tail\n"));                      // continuation of a comment
    EXPECT_FALSE(ok("[./G]\nnote\n"));
    EXPECT_FALSE(ok("[./G]\n+orphan\n"));
    EXPECT_FALSE(ok("[./G]\nk:v\n[./H]\n+other section\n"));
    EXPECT_FALSE(ok(std::string("[./G]\nk:v\0x\n", 11)));
    EXPECT_FALSE(ok("[./G]\nk:" + std::string(1000, 'v') + "\n"));
    EXPECT_FALSE(RPFileCheck::wellFormed(std::string(1200, ';') + "\n" + HEADER));  // header split by the reader
}

TEST(RPFileCheck, ReaderViewIsMirrored)
{
    // An escape completed by the continuation line is whole.
    EXPECT_TRUE(ok("[./G]\nk:abc\\\n+n and \\0\n+12\n"));
    // A repeated key is replaced, and the continuation extends the new value.
    EXPECT_FALSE(ok("[./G]\nk:ok\nj:x\nk:bad\\\n"));
    EXPECT_TRUE(ok("[./G]\nk:bad\\\nk:ok\n"));
    // The reader ends a line at CR: what follows is not seen.
    EXPECT_TRUE(ok("[./G]\r\nk:v\r\\\n"));
    // Keys are cut to 127 characters as the reader cuts them.
    EXPECT_TRUE(ok("[./G]\n" + std::string(200, 'k') + ":v\n"));
}

}  // namespace
