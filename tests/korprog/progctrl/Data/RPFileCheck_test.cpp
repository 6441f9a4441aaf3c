#include "korprog/progctrl/Data/RPFileCheck.h"

#include <FL/Fl_Preferences.H>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

#include "TempDir.h"

namespace {

const std::string HEADER = "; FLTK preferences file format 1.0\n; vendor: RevPacks\n; application: t\n\n[.]\n\n";

bool ok(const std::string& content) { return RPFileCheck::wellFormed(HEADER + content); }

// Whatever FLTK's writer produces passes: random groups and entries with
// texts of every byte value (escapes land across continuation lines),
// integers and byte blocks, written by Fl_Preferences itself; the values
// FLTK reads back are the values written.
TEST(RPFileCheck, EveryFileTheWriterProducesPasses)
{
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    std::mt19937 rng(12);
    for (int round = 0; round < 60; ++round) {
        std::vector<std::pair<std::string, std::string>> texts;
        {
            Fl_Preferences p(dir.path().c_str(), "RevPacks", "t");
            for (int g = 0; g < 4; ++g) {
                Fl_Preferences grp(p, ("g" + std::to_string(round) + "_" + std::to_string(g)).c_str());
                for (int e = 0; e < 6; ++e) {
                    std::string text;
                    const int len = static_cast<int>(rng() % 300);
                    for (int i = 0; i < len; ++i) {
                        const unsigned r = rng() % 8;
                        text += r == 0 ? '\\' : r == 1 ? '\n' : static_cast<char>(1 + rng() % 255);
                    }
                    const std::string key = "k" + std::to_string(e);
                    grp.set(key.c_str(), text.c_str());
                    grp.set(("n" + std::to_string(e)).c_str(), static_cast<int>(rng()));
                    grp.set(("d" + std::to_string(e)).c_str(), text.data(), static_cast<int>(text.size()));
                    texts.emplace_back(grp.name() + std::string("/") + key, text);
                }
            }
        }
        const std::string bytes = TempDir::read(dir.path() + "/t.prefs");
        std::string why;
        ASSERT_TRUE(RPFileCheck::wellFormed(bytes, &why)) << "round " << round << ": " << why;

        Fl_Preferences p(dir.path().c_str(), "RevPacks", "t");
        for (const auto& t : texts) {
            const size_t slash = t.first.find('/');
            Fl_Preferences grp(p, t.first.substr(0, slash).c_str());
            std::vector<char> back(t.second.size() + 2);
            grp.get(t.first.substr(slash + 1).c_str(), back.data(), "", static_cast<int>(back.size()));
            ASSERT_EQ(t.second, std::string(back.data())) << t.first;
        }
        p.clear();
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

TEST(RPFileCheck, NamesOurWritesMayUse)
{
    EXPECT_TRUE(RPFileCheck::groupNameOk("KV8888GM-ED_4.12.bin"));
    EXPECT_TRUE(RPFileCheck::groupNameOk(std::string(100, 'g').c_str()));
    EXPECT_FALSE(RPFileCheck::groupNameOk(std::string(101, 'g').c_str()));
    for (const char* bad : {"", ".", ".hidden", "a/b", "a]b", "a\nb", "a\rb"})
        EXPECT_FALSE(RPFileCheck::groupNameOk(bad)) << bad;
    EXPECT_FALSE(RPFileCheck::groupNameOk(nullptr));

    EXPECT_TRUE(RPFileCheck::entryNameOk("KV8888GM-ED"));
    EXPECT_TRUE(RPFileCheck::entryNameOk("a[b]+c;#"));
    EXPECT_TRUE(RPFileCheck::entryNameOk(std::string(127, 'k').c_str()));
    EXPECT_FALSE(RPFileCheck::entryNameOk(std::string(128, 'k').c_str()));
    for (const char* bad : {"", "a:b", "[a", "+a", ";a", "#a", "a\nb"})
        EXPECT_FALSE(RPFileCheck::entryNameOk(bad)) << bad;
}

}  // namespace
