#include "korprog/progctrl/Data/RPFile.h"

#include <FL/Fl_Preferences.H>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "DataTest.h"

namespace {

// The per-user runtime directory is the test's own.
class RPFileTest : public DataTest {
protected:
    void SetUp() override
    {
        DataTest::SetUp();
        ::mkdir(stage.c_str(), 0700);
        ::setenv("XDG_RUNTIME_DIR", stage.c_str(), 1);
    }
    void TearDown() override
    {
        saved.empty() ? ::unsetenv("XDG_RUNTIME_DIR") : ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
        DataTest::TearDown();
    }
    long staged() const { return std::distance(std::filesystem::directory_iterator(stage), {}); }

    const std::string stage = dir.path() + "/stage";
    const std::string saved = std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
};

TEST_F(RPFileTest, OnlyAnnouncedChangesAreWrittenAndStagingIsRemoved)
{
    const std::string pack = dir.path() + "/p.rpa";
    RPFile f;
    ASSERT_TRUE(f.open(dir.path(), "p"));
    EXPECT_EQ(1, staged());
    Fl_Preferences(*f.root(), "G").set("k", "v");
    f.close();  // a change nobody announced
    EXPECT_EQ(0, staged());
    EXPECT_FALSE(std::filesystem::exists(pack));

    // Byte for byte what the preferences class itself writes, long and
    // binary values too; nothing else is left beside it.
    const std::string bytes(100, '\x07'), text(150, 't');
    auto fill = [&](Fl_Preferences& root) {
        Fl_Preferences(root, "G").set("k", "v");
        Fl_Preferences(root, "H").set("d", bytes.data(), static_cast<int>(bytes.size()));
        Fl_Preferences(root, "H").set("t", (text + "\\\n\x01").c_str());
    };
    ASSERT_TRUE(f.open(dir.path(), "p"));
    fill(*f.root());
    f.changed();
    f.close();
    EXPECT_NE(std::string::npos, TempDir::read(pack).find("; application: p\n\n[.]\n\n\n[./G]\n\nk:v\n"));
    {
        Fl_Preferences own((dir.path() + "/own").c_str(), RPFile::VENDOR, "p");
        fill(own);
    }
    EXPECT_EQ(TempDir::read(pack), TempDir::read(dir.path() + "/own/p.prefs"));
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_TRUE(e.path() == pack || e.path().filename() == "own" || e.path().filename() == "stage") << e.path();

    // A pack that cannot be written is reported as such.
    ASSERT_TRUE(f.open(dir.path() + "/missing-dir", "p"));
    Fl_Preferences(*f.root(), "G").set("k", 1);
    f.changed();
    EXPECT_FALSE(f.flush());
    f.close();
    EXPECT_EQ(0, staged());
    EXPECT_FALSE(f.open(dir.path(), std::string(RPFile::MAX_NAME + 1, 'n')));

    // A malformed pack opens empty and is left as it was.
    const std::string bad = "; h\n; h\n; h\n[foo]\nx:1\n";
    TempDir::write(dir.path() + "/bad.rpa", bad);
    ASSERT_TRUE(f.open(dir.path(), "bad"));
    EXPECT_FALSE(f.wasRead());
    EXPECT_EQ(0, f.root()->groups());
    f.close();
    EXPECT_EQ(bad, TempDir::read(dir.path() + "/bad.rpa"));
}

// What the preferences class writes is read as it reads it: groups,
// entries and values in their order, so that writing it out again gives
// the same bytes; texts of every byte value and long byte blocks included.
TEST_F(RPFileTest, PackWrittenByThePreferencesClassReadsBackAsItWasWritten)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        {
            Fl_Preferences p(dir.path().c_str(), RPFile::VENDOR, "w");
            p.clear();
            for (int g = 0; g < 3; ++g) {
                Fl_Preferences grp(p, ("g" + std::to_string(rng() % 5)).c_str());
                for (int e = 0; e < 4; ++e) {
                    std::string text(rng() % 200, ' ');
                    for (char& c : text) c = static_cast<char>(1 + rng() % 255);
                    grp.set(("k" + std::to_string(rng() % 6)).c_str(), text.c_str());
                    const std::string block(rng() % 3000, static_cast<char>(rng()));
                    grp.set(("d" + std::to_string(e)).c_str(), block.data(), static_cast<int>(block.size()));
                }
            }
        }
        const std::string written = TempDir::read(dir.path() + "/w.prefs");
        std::rename((dir.path() + "/w.prefs").c_str(), (dir.path() + "/w.rpa").c_str());
        RPFile f;
        ASSERT_TRUE(f.open(dir.path(), "w"));
        ASSERT_TRUE(f.wasRead()) << round;
        EXPECT_EQ(written, f.text()) << round;
        f.close();
    }
    std::string bytes;
    std::string why;
    EXPECT_FALSE(RPFile::readFile(dir.path(), bytes, &why));
    EXPECT_EQ("Is a directory", why);
}

TEST_F(RPFileTest, StagingOfAKilledProcessIsRemovedAtStart)
{
    const pid_t dead = ::fork();
    if (dead == 0) ::_exit(0);
    ASSERT_GT(dead, 0);
    ASSERT_EQ(::waitpid(dead, nullptr, 0), dead);
    const std::string ours = "korprog-rpa-" + std::to_string(::getpid()) + "-aaaaaa";
    for (const std::string& d : {"korprog-rpa-" + std::to_string(dead) + "-abcdef", ours, std::string("korprog-rpa-x")}) {
        ::mkdir((stage + "/" + d).c_str(), 0700);
        TempDir::write(stage + "/" + d + "/p.prefs", "x");
    }
    EXPECT_EQ(1, RPFile::removeStaleStaging());
    EXPECT_EQ(2, staged());
    EXPECT_TRUE(std::filesystem::exists(stage + "/" + ours));

    RPFile f;  // a live process stages under its own number
    ASSERT_TRUE(f.open(dir.path(), "p"));
    EXPECT_EQ(3, staged());
    EXPECT_EQ(0, RPFile::removeStaleStaging());
    f.close();
}

}  // namespace
