#include "korprog/progctrl/Data/RPFile.h"

#include <FL/Fl_Preferences.H>
#include <cstdlib>
#include <dirent.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

#include "TempDir.h"

namespace {

int entriesIn(const std::string& dir)
{
    int n = 0;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) n += e->d_name[0] != '.';
        ::closedir(d);
    }
    return n;
}

// Staging goes to a directory of the test's own, so that what is left
// behind can be counted.
TEST(RPFile, OnlyAnnouncedChangesAreWrittenAndStagingIsRemoved)
{
    TempDir tmp;
    ASSERT_TRUE(tmp.ok());
    const char* oldTmp = std::getenv("TMPDIR");
    const std::string saved = oldTmp ? oldTmp : "";
    const std::string stage = tmp.path() + "/stage", pack = tmp.path() + "/p.rpa";
    ::mkdir(stage.c_str(), 0700);
    ::setenv("TMPDIR", stage.c_str(), 1);

    RPFile f;
    ASSERT_TRUE(f.open(tmp.path(), "p"));
    EXPECT_EQ(1, entriesIn(stage));
    Fl_Preferences(*f.root(), "G").set("k", "v");
    f.close();  // a change nobody announced
    EXPECT_EQ(0, entriesIn(stage));
    struct stat st;
    EXPECT_NE(0, ::stat(pack.c_str(), &st));

    ASSERT_TRUE(f.open(tmp.path(), "p"));
    Fl_Preferences(*f.root(), "G").set("k", "v");
    f.changed();
    f.close();
    EXPECT_NE(std::string::npos, TempDir::read(pack).find("; application: p\n\n[.]\n\n\n[./G]\n\nk:v\n"));
    EXPECT_NE(0, ::stat((pack + ".part").c_str(), &st));

    // A pack that cannot be written is reported as such.
    ASSERT_TRUE(f.open(tmp.path() + "/missing-dir", "p"));
    Fl_Preferences(*f.root(), "G").set("k", 1);
    f.changed();
    EXPECT_FALSE(f.flush());
    f.close();
    EXPECT_EQ(0, entriesIn(stage));
    EXPECT_FALSE(f.open(tmp.path(), std::string(RPFile::MAX_NAME + 1, 'n')));

    if (oldTmp)
        ::setenv("TMPDIR", saved.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
}

TEST(RPFile, MalformedPackOpensEmptyAndIsLeftAlone)
{
    TempDir tmp;
    ASSERT_TRUE(tmp.ok());
    const std::string bad = "; h\n; h\n; h\n[foo]\nx:1\n";
    TempDir::write(tmp.path() + "/bad.rpa", bad);
    RPFile f;
    ASSERT_TRUE(f.open(tmp.path(), "bad"));
    EXPECT_FALSE(f.wasRead());
    EXPECT_EQ(0, f.root()->groups());
    f.close();
    EXPECT_EQ(bad, TempDir::read(tmp.path() + "/bad.rpa"));
}

}  // namespace
