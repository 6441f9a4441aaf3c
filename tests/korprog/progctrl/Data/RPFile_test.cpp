#include "korprog/progctrl/Data/RPFile.h"

#include <FL/Fl_Preferences.H>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>

#include "TempDir.h"

namespace {

// Staging goes to a directory of the test's own, so that what is left
// behind can be counted.
using RPFileTest = DataTest;

TEST_F(RPFileTest, OnlyAnnouncedChangesAreWrittenAndStagingIsRemoved)
{
    const char* oldTmp = std::getenv("TMPDIR");
    const std::string saved = oldTmp ? oldTmp : "", stage = dir.path() + "/stage", pack = dir.path() + "/p.rpa";
    ::mkdir(stage.c_str(), 0700);
    ::setenv("TMPDIR", stage.c_str(), 1);
    auto staged = [&] { return std::distance(std::filesystem::directory_iterator(stage), {}); };

    RPFile f;
    ASSERT_TRUE(f.open(dir.path(), "p"));
    EXPECT_EQ(1, staged());
    Fl_Preferences(*f.root(), "G").set("k", "v");
    f.close();  // a change nobody announced
    EXPECT_EQ(0, staged());
    EXPECT_FALSE(std::filesystem::exists(pack));

    ASSERT_TRUE(f.open(dir.path(), "p"));
    Fl_Preferences(*f.root(), "G").set("k", "v");
    f.changed();
    f.close();
    EXPECT_NE(std::string::npos, TempDir::read(pack).find("; application: p\n\n[.]\n\n\n[./G]\n\nk:v\n"));
    EXPECT_FALSE(std::filesystem::exists(pack + ".part"));

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

    if (oldTmp)
        ::setenv("TMPDIR", saved.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
}

}  // namespace
