// Input an unattended run cannot use is refused at its start, by name and
// with the system's reason, before the unit is asked anything; what a run
// prints for a person; what a killed run leaves behind.

#if defined(KORPROG_PATH) && defined(KORVANSIM_PATH)

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <utime.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "korvansim/SimProcess.h"
#include "support/KorprogProcess.h"
#include "support/KorprogUserTest.h"
#include "support/KvPty.h"
#include "support/KvTestPack.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

using korprogtest::linesOf;

// The file may not be written, even by root: immutable where the file
// system has the flag, else without write permission. False when neither.
bool makeUnwritable(const std::string& path)
{
    if (::geteuid() != 0) return ::chmod(path.c_str(), 0444) == 0;
    const int fd = ::open(path.c_str(), O_RDONLY);
    int flags = 0;
    const bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                      (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    if (fd >= 0) ::close(fd);
    return done;
}

void makeWritable(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY);
    int flags = 0;
    if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_IMMUTABLE_FL)) {
        flags &= ~FS_IMMUTABLE_FL;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    if (fd >= 0) ::close(fd);
    ::chmod(path.c_str(), 0644);
}

// A file time well before now: left by a run killed long ago.
void age(const std::string& path)
{
    struct utimbuf t = {std::time(nullptr) - 3600, std::time(nullptr) - 3600};
    ::utime(path.c_str(), &t);
}

class InputsTest : public KorprogUserTest {
protected:
    InputsTest() : KorprogUserTest("korprog-inputs") {}
    void SetUp() override
    {
        KorprogUserTest::SetUp();
        std::ofstream(sim.path("unit.adn")) << settingsFile("oud ");
        ASSERT_TRUE(sim.start({"--persist", "--adn", sim.path("unit.adn"), "--link", dir + "/k0"}));
        link = dir + "/k0";
    }
    bool unitAsked() const
    {
        const std::string log = sim.log();
        return log.find("<- upload request") != std::string::npos || log.find("<- upgrade request") != std::string::npos;
    }
    std::string link;
};

TEST_F(InputsTest, InputThatCannotBeUsedIsRefusedAtOnceByNameAndWithItsReason)
{
    write("texts.adn", "a;b/c|1\n");
    fs::create_symlink("loop.adn", dir + "/loop.adn");
    fs::create_directory(dir + "/reports");
    ::mkfifo((dir + "/fifo.jsonl").c_str(), 0644);
    write("locked.jsonl", "");
    const bool unwritable = makeUnwritable(dir + "/locked.jsonl");
    // Another user's file: given away by root, else one of the system's.
    write("theirs.jsonl", "");
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown((dir + "/theirs.jsonl").c_str(), 65534, 65534), 0);
    }
    fs::create_symlink(root ? dir + "/theirs.jsonl" : "/etc/passwd", dir + "/planted.jsonl");
    KvTestPack big;
    big.data = KvTestPack::image(102401, "KV-4.61");
    const std::string bigPack = big.write(packs, "KV-big");
    auto program = [](std::vector<std::string> more) {
        std::vector<std::string> args{"-program", "new.adn"};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    std::vector<std::string> many = program({});
    for (int k = 0; k < 65; ++k) many.insert(many.end(), {"-port", dir + "/p" + std::to_string(k)});

    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::string told;
    } cases[] = {
        {"texts the unit cannot carry", {"-program", "texts.adn", "-port", link},
         dir + "/texts.adn: not a settings file (line 1 holds a ';' in its text, which no setting can carry)"},
        {"a settings file that is a symlink loop", {"-program", "loop.adn", "-port", link},
         dir + "/loop.adn: cannot be opened: Too many levels of symbolic links"},
        {"a report that is a directory", program({"-report", "reports", "-port", link}),
         "cannot write the report " + dir + "/reports: Is a directory"},
        {"a report that is a FIFO", program({"-report", "fifo.jsonl", "-port", link}),
         "cannot write the report " + dir + "/fifo.jsonl: not a regular file"},
        {"a report in a missing directory", program({"-report", "gone/runs.jsonl", "-port", link}),
         "cannot write the report " + dir + "/gone/runs.jsonl: " + dir + "/gone: No such file or directory"},
        {"a report linked to another user's file", program({"-report", "planted.jsonl", "-port", link}),
         "cannot write the report " + dir + "/planted.jsonl: a symbolic link to a file of another user"},
        {"a line with a report it cannot write", program({"-report", "reports", "-port", link, "-port", dir + "/k9"}),
         "cannot write the report " + dir + "/reports: Is a directory"},
        {"one port twice in a line", program({"-port", link, "-port", link}), "-port " + link + " is given twice"},
        {"two names of one device", program({"-port", link, "-port", sim.device}),
         "-port " + link + " and -port " + sim.device + " name the same port"},
        {"more ports than a line takes", many, "at most 64 ports in one line; 65 were given"},
        {"a pack with an image larger than any", {"-upgrade", "-revpack", bigPack, "-binfile", "app.bin", "-port", link},
         "revision pack " + bigPack + " is not a revision pack ("},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const KorprogRun r = runKorprog(dir, c.args, 20);
        EXPECT_EQ(r.rc, 3) << r.out << r.err;
        EXPECT_NE(r.err.find("korprog: " + c.told), std::string::npos) << r.err;
        EXPECT_FALSE(unitAsked()) << sim.log();
    }
    EXPECT_EQ(sim.log().find("<- "), std::string::npos) << "nothing at all was asked: " << sim.log();
    if (unwritable) {
        const KorprogRun r = runKorprog(dir, program({"-report", "locked.jsonl", "-port", link}), 20);
        EXPECT_EQ(r.rc, 3) << r.err;
        EXPECT_NE(r.err.find("korprog: cannot write the report " + dir + "/locked.jsonl: "), std::string::npos) << r.err;
        makeWritable(dir + "/locked.jsonl");
    }
    EXPECT_EQ(fs::file_size(dir + "/theirs.jsonl"), 0u) << "another user's file is never written";
    if (!unwritable) GTEST_SKIP() << "no way to make a file unwritable for root here (no immutable flag): "
                                     "the row of a report without write permission did not run";
}

// A disk that fills while the record goes in: the file stays as it was,
// every line of it whole, and the run says it has no record.
TEST_F(InputsTest, ARecordThatDoesNotFitLeavesTheReportAsItWas)
{
    const std::vector<std::string> args{"-program", "new.adn", "-report", "runs.jsonl", "-port", link};
    ASSERT_EQ(runKorprog(dir, args, 20).rc, 0);
    const std::string before = read("runs.jsonl");
    ASSERT_EQ(linesOf(before).size(), 1u);
    const KorprogRun full = runKorprog(dir, args, 20, before.size() + 200);
    EXPECT_EQ(full.rc, 1) << full.err;
    EXPECT_NE(full.err.find("korprog: cannot write the report " + dir + "/runs.jsonl: File too large\n"), std::string::npos)
        << full.err;
    EXPECT_EQ(read("runs.jsonl"), before);
}

// What a person reads: to a file a line per tenth and the result; with -q
// the result alone; on a terminal one line rewritten in place.
TEST_F(InputsTest, ARunTellsItsProgressByTenthsOrInPlaceAndEndsWithItsResult)
{
    const std::vector<std::string> args{"-program", "new.adn", "-port", link};
    const KorprogRun plain = runKorprog(dir, args, 20);
    ASSERT_EQ(plain.rc, 0) << plain.err;
    const std::vector<std::string> lines = linesOf(plain.out);
    EXPECT_LE(lines.size(), 40u) << "not a line per entry, programmed and read back: " << plain.out;
    EXPECT_EQ(ksimtest::count(plain.out, "Programmeren #"), 10) << plain.out;
    EXPECT_EQ(ksimtest::count(plain.out, "Ophalen #"), 11) << "with the verdict on the last: " << plain.out;
    EXPECT_NE(plain.out.find("Programmeren #100 gereed.\n"), std::string::npos) << plain.out;
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("korprog: done: " + dir +
                                     "/new.adn programmed into KV8888GM-ED (IMEI 351234567890123), verified, in ",
                                 0),
              0u)
        << plain.out;

    const KorprogRun quiet = runKorprog(dir, {"-q", "-program", "new.adn", "-port", link}, 20);
    EXPECT_EQ(quiet.rc, 0) << quiet.err;
    ASSERT_EQ(linesOf(quiet.out).size(), 1u) << quiet.out;
    EXPECT_EQ(quiet.out.rfind("korprog: done: ", 0), 0u) << quiet.out;
    EXPECT_EQ(quiet.err, "");
    const KorprogRun quietFail = runKorprog(dir, {"-q", "-program", "new.adn", "-port", dir + "/k9"}, 20);
    EXPECT_EQ(quietFail.rc, 4);
    EXPECT_EQ(quietFail.out, "") << "errors only";
    EXPECT_EQ(linesOf(quietFail.err).size(), 1u) << quietFail.err;

    // On a terminal. Its other side stays open here, so that it reads
    // whatever the run wrote until the run has ended.
    KvPty term;
    const int keep = ::open(term.name.c_str(), O_RDWR | O_NOCTTY);
    KorprogStart how(dir, {"TERM=xterm"});
    how.tag = "-tty";
    how.inChild = [&term] {
        ::setsid();
        ::dup2(::open(term.name.c_str(), O_RDWR), 1);
    };
    std::string shown;
    auto show = [&] {
        const Bytes b = term.read(1 << 16, 200);
        shown.append(b.begin(), b.end());
    };
    runKorprog(how, {"-program", "new.adn", "-port", link}, 20, [&](double, pid_t) { show(); });
    show();
    ::close(keep);
    SCOPED_TRACE(read("err-tty.txt"));
    EXPECT_GE(ksimtest::count(shown, "\r"), 20) << shown;
    EXPECT_NE(shown.find("\033[K"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Programmeren #100 gereed.  100/200"), std::string::npos) << shown;
    // The terminal turns a line end into CR LF: only the lines that stay end.
    EXPECT_LE(ksimtest::count(shown, "\n"), 4) << shown;
    EXPECT_NE(shown.find("\033[Kkorprog: done: "), std::string::npos) << shown;
}

// Files a killed run left under way go at the next start; files that only
// look alike, and one being written now, stay.
TEST_F(InputsTest, TheNextStartRemovesWhatAKilledRunLeftUnderWay)
{
    fs::create_directories(dir + "/" + home + "Backups");
    const std::vector<std::string> ours = {home + "Ombrix_KorProg.gif.MexHEo", home + "RevPacks/temp.rpa.Ab12Cd",
                                           home + "config.ini.q9Z0aa", home + "Backups/KV8888GM-ED_noimei.adn.x1y2z3"};
    const std::vector<std::string> others = {home + "notes.backup", home + "photo.jpg.Ab12Cd", home + "config.ini.bak",
                                             "new.adn.Ab12Cd", home + "config.ini.held00"};
    for (const std::string& f : ours) write(f, "cut");
    for (const std::string& f : others) write(f, "mine");
    for (const std::string& f : ours) age(dir + "/" + f);
    for (const std::string& f : others) age(dir + "/" + f);
    const int held = ::open((dir + "/" + others.back()).c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0) << "a writer at work";

    const KorprogRun r = runKorprog(dir, {"-program", "new.adn", "-port", link}, 20);
    ::close(held);
    EXPECT_EQ(r.rc, 0) << r.err;
    for (const std::string& f : ours) EXPECT_FALSE(fs::exists(dir + "/" + f)) << f;
    for (const std::string& f : others) EXPECT_TRUE(fs::exists(dir + "/" + f)) << f;
}

}  // namespace

#endif
