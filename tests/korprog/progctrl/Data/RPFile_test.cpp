#include "korprog/progctrl/Data/RPFile.h"

#include <FL/Fl_Preferences.H>
#include <cstdlib>
#include <dirent.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

#include "TempDir.h"
#include "bdebug/BTrace.h"

namespace {

bool exists(const std::string& p)
{
    struct stat st;
    return ::stat(p.c_str(), &st) == 0;
}

int entriesIn(const std::string& dir)
{
    int n = 0;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d))
            if (e->d_name[0] != '.') ++n;
        ::closedir(d);
    }
    return n;
}

// Staging goes to a directory of the test's own, so that what is left
// behind can be counted.
class RPFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.ok());
        const char* old = std::getenv("TMPDIR");
        _oldTmp = old ? old : "";
        _hadTmp = old != nullptr;
        stage = tmp.path() + "/stage";
        packs = tmp.path() + "/packs";
        ::mkdir(stage.c_str(), 0700);
        ::mkdir(packs.c_str(), 0700);
        ::setenv("TMPDIR", stage.c_str(), 1);
    }
    void TearDown() override
    {
        if (_hadTmp)
            ::setenv("TMPDIR", _oldTmp.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }
    TempDir tmp;
    std::string stage, packs;

private:
    std::string _oldTmp;
    bool _hadTmp = false;
};

TEST_F(RPFileTest, OnlyAChangedPackIsWrittenAndStagingIsRemoved)
{
    RPFile f;
    ASSERT_TRUE(f.open(packs, "new"));
    EXPECT_EQ(packs + "/new.rpa", f.path());
    EXPECT_FALSE(f.wasRead());
    EXPECT_EQ(1, entriesIn(stage));
    { Fl_Preferences g(*f.root(), "G"); }  // a group, but no announced change
    f.close();
    EXPECT_FALSE(exists(packs + "/new.rpa"));
    EXPECT_EQ(0, entriesIn(stage));

    ASSERT_TRUE(f.open(packs, "new"));
    {
        Fl_Preferences g(*f.root(), "G");
        g.set("k", "v");
    }
    f.changed();
    EXPECT_TRUE(f.flush());
    const std::string written = TempDir::read(packs + "/new.rpa");
    EXPECT_NE(std::string::npos, written.find("; application: new\n"));
    EXPECT_NE(std::string::npos, written.find("\n[./G]\n\nk:v\n"));
    f.close();
    EXPECT_EQ(written, TempDir::read(packs + "/new.rpa"));
    EXPECT_FALSE(exists(packs + "/new.rpa.part"));
    EXPECT_EQ(0, entriesIn(stage));

    ASSERT_TRUE(f.open(packs, "new"));
    EXPECT_TRUE(f.wasRead());
    char v[8];
    Fl_Preferences(*f.root(), "G").get("k", v, "", sizeof v);
    EXPECT_STREQ("v", v);
}

TEST_F(RPFileTest, MalformedPackOpensEmptyAndIsLeftAlone)
{
    const std::string bad = "; h\n; h\n; h\n[foo]\nx:1\n";
    TempDir::write(packs + "/bad.rpa", bad);
    std::string trace;
    BTrace::capture(&trace);
    RPFile f;
    ASSERT_TRUE(f.open(packs, "bad"));
    BTrace::capture(nullptr);
    EXPECT_FALSE(f.wasRead());
    EXPECT_EQ(0, f.root()->groups());
    EXPECT_NE(std::string::npos, trace.find("is not a revision pack"));
    f.close();
    EXPECT_EQ(bad, TempDir::read(packs + "/bad.rpa"));
}

TEST_F(RPFileTest, NamesAndFailures)
{
    RPFile f;
    EXPECT_FALSE(f.open(packs, ""));
    EXPECT_FALSE(f.open(packs, std::string(RPFile::MAX_NAME + 1, 'n')));
    EXPECT_FALSE(f.isOpen());
    EXPECT_FALSE(f.flush());

    // A name with a directory part, and an absolute one.
    ::mkdir((packs + "/sub").c_str(), 0700);
    ASSERT_TRUE(f.open(packs, "sub/inner"));
    EXPECT_EQ(packs + "/sub/inner.rpa", f.path());
    ASSERT_TRUE(f.open("/elsewhere", tmp.path() + "/abs"));
    EXPECT_EQ(tmp.path() + "/abs.rpa", f.path());

    // A pack that cannot be written reports it and stays open for reading.
    ASSERT_TRUE(f.open(packs + "/missing-dir", "p"));
    Fl_Preferences(*f.root(), "G").set("k", 1);
    f.changed();
    std::string trace;
    BTrace::capture(&trace);
    EXPECT_FALSE(f.flush());
    BTrace::capture(nullptr);
    EXPECT_NE(std::string::npos, trace.find("cannot write"));
    f.close();
    EXPECT_EQ(0, entriesIn(stage));
}

}  // namespace
