#include "korprog/progctrl/Data/RPFileCheck.h"

#include <FL/Fl_Preferences.H>
#include <random>
#include <string>

#include "TempDir.h"

namespace {

const std::string HEADER = "; FLTK preferences file format 1.0\n; vendor: RevPacks\n; application: t\n\n[.]\n\n";

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

}  // namespace
