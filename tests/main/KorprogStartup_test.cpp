// The built program's start-up as a process: the single-instance lock, a
// pack named on the command line, the user's directory on a full disk, old
// packs of the start directory, and command lines and inputs it must refuse.

#if defined(KORPROG_PATH) && defined(KORVANSIM_PATH)

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "helm/platform/BNamedMutex.h"
#include "main/Main.h"
#include "support/KorprogDirTest.h"
#include "support/KorprogProcess.h"
#include "support/KvTestPack.h"

namespace fs = std::filesystem;

namespace {

class Startup : public KorprogDirTest {
protected:
    Startup() : KorprogDirTest("korprog-startup") {}
    // A run that ends by itself once start-up is through.
    KorprogRun korprog(std::vector<std::string> args, rlim_t fileLimit = 0)
    {
        args.insert(args.end(), {"-program", "missing.adn"});
        return runKorprog(dir.string(), args, 20, fileLimit);
    }
    // A pack that verifies, made in `where`; its file name.
    std::string pack(const fs::path& where, size_t imageSize = 3000) const
    {
        fs::create_directories(where);
        KvTestPack p;
        p.data = KvTestPack::image(imageSize);
        return p.write(where.string(), "KV-6.01") + ".rpa";
    }
};

TEST_F(Startup, SecondInstanceEndsAtOnceAndLeavesThePacksOfTheFirstAlone)
{
    const pid_t dead = fork();  // a run that was killed left its pack staging behind
    if (dead == 0) _exit(0);
    waitpid(dead, nullptr, 0);
    const fs::path stale = dir / ("korprog-rpa-" + std::to_string(dead) + "-abcdef");
    fs::create_directory(stale);
    const std::string name = pack(packs);
    const std::string stored = read(packs / name);
    KorprogProcess first, second;
    KorprogStart how(dir.string(), {"KORPROG_HEADLESS=1"});
    how.tag = "1";
    first.start(how, {});
    // The commands file appears once start-up is through; probing the lock
    // before that could make the first process take us for an instance.
    for (int i = 0; i < 1000 && !fs::exists(user / "dbgTraceCommands.txt"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(fs::exists(stale)) << "removed at start";
    BNamedMutex probe;
    ASSERT_EQ(korprogtest::askProgramLock(probe, dir.string()), BNamedMutex::ALREADY_EXISTS);

    // Another file of the pack's name, opened from the file manager.
    write(dir / name, "another file of that name");
    how.tag = "2";
    second.start(how, {name, "-upgrade"});
    EXPECT_EQ(second.wait(10), 2);
    EXPECT_EQ(read(packs / name), stored);
    EXPECT_EQ(names(packs), (std::vector<std::string>{name, "SwHwRestrictions.txt"}));
    EXPECT_TRUE(first.running()) << "the first keeps running";
    first.signal(SIGTERM);
    EXPECT_EQ(first.wait(10), 0);
}

// Fail closed: without the lock a second instance could not be told apart.
TEST_F(Startup, LockThatCannotBeMadeStopsTheStartBeforeAnythingIsWritten)
{
    fs::create_directory(dir / ("Helm_" Sw_VERSION "_MutexId.lock"));  // in the lock's place
    const KorprogRun r = korprog({});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "korprog: cannot create the lock file " + (dir / "Helm_" Sw_VERSION "_MutexId.lock").string() +
                         ": Is a directory; not started, since another instance could not be told apart "
                         "(XDG_RUNTIME_DIR names its directory)\n");
    EXPECT_FALSE(fs::exists(user));
}

TEST_F(Startup, PackOnTheCommandLineArrivesWholeOrNotAtAll)
{
    ASSERT_EQ(korprog({}).rc, 3);  // the user's directory, made with room to spare
    const std::string name = pack(dir / "given", 20000);
    const std::string good = read(dir / "given" / name);

    const KorprogRun full = korprog({"given/" + name}, 16384);
    EXPECT_EQ(full.rc, 3);
    EXPECT_NE(full.err.find("alert: Revisiepakket \"" + name + "\" kan niet gekopieerd worden naar " + packs.string() +
                            ": File too large.\n"),
              std::string::npos)
        << full.err;
    EXPECT_EQ(names(packs), std::vector<std::string>{"SwHwRestrictions.txt"}) << "neither a cut pack nor its work file";

    EXPECT_EQ(korprog({"given/" + name}).rc, 3);
    EXPECT_EQ(read(packs / name), good);
}

// Copied whole or not at all: a cut default would be the user's for good.
TEST_F(Startup, DefaultsCopiedOnAFullDiskAreWholeOrMissingAndTheNextStartCompletesThem)
{
    const char* defaults = std::getenv("KORPROG_TEST_DATA");
    if (!defaults) GTEST_SKIP() << "KORPROG_TEST_DATA names the data directory; ctest sets it";
    const fs::path data = defaults;
    auto cutCopies = [&] {
        std::vector<std::string> cut;
        for (const char* f : {"config.csv", "language.csv", "Startup.html", "Ombrix_KorProg.gif"})
            if (fs::exists(user / f) && read(user / f) != read(data / f)) cut.push_back(f);
        // A work file ends in '.' and six random characters.
        for (const auto& e : fs::directory_iterator(user))
            if (e.path().extension().string().size() == 7) cut.push_back(e.path().filename().string());
        return cut;
    };
    const KorprogRun full = korprog({}, 20000);
    EXPECT_NE(full.err.find("File too large"), std::string::npos) << full.err;
    EXPECT_EQ(cutCopies(), std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(user / "config.csv") || fs::exists(user / "language.csv")) << "neither fits";

    const KorprogRun room = korprog({});
    EXPECT_EQ(room.err.find("cannot copy"), std::string::npos) << room.err;
    EXPECT_EQ(cutCopies(), std::vector<std::string>{});
    EXPECT_EQ(read(user / "config.csv"), read(data / "config.csv"));
    EXPECT_EQ(read(user / "language.csv"), read(data / "language.csv"));
}

// Packs an older version kept in RevPacks where the program is started move
// in; nothing else there is touched.
TEST_F(Startup, OldPacksOfTheStartDirectoryMoveIntoThePackDirectory)
{
    const std::string name = pack(dir / "RevPacks");
    const std::string content = read(dir / "RevPacks" / name);
    write(dir / "RevPacks/notes.txt", "mine");
    EXPECT_EQ(korprog({}).rc, 3);
    EXPECT_EQ(read(packs / name), content);
    EXPECT_EQ(names(dir / "RevPacks"), std::vector<std::string>{"notes.txt"});
}

TEST_F(Startup, CommandLinesThatCannotMeanWhatTheySayAreRefused)
{
    // A pack outside the pack directory is not read.
    const std::string name = pack(dir / "x");
    const std::string stem = name.substr(0, name.size() - 4);
    for (const std::string& p : {"../../../x/" + stem, (dir / "x" / stem).string()}) {
        const KorprogRun r = runKorprog(dir.string(), {"-upgrade", "-revpack", p, "-binfile", "app.bin"}, 20);
        EXPECT_EQ(r.rc, 3);
        EXPECT_EQ(r.err, "korprog: -revpack takes the name of a pack in " + packs.string() +
                             ", without a directory: " + p + "\n");
    }
    const KorprogRun noFile = runKorprog(dir.string(), {"-program"}, 20);
    EXPECT_EQ(noFile.rc, 3);
    EXPECT_EQ(noFile.err, "korprog: -program needs a value\n");
    const KorprogRun emptyFile = runKorprog(dir.string(), {"-program", ""}, 20);
    EXPECT_EQ(emptyFile.err, "korprog: -program needs a value, not an empty one\n");
}

// Inputs that can be no input, port names that cannot be used and words
// that are no option: each refused at once, by name, before the unit, the
// lock or a display is asked for anything. A run without a window never
// needs a display, not even a stale one.
TEST_F(Startup, BadInputsAndOptionsAreRefusedAtOnceByName)
{
    ASSERT_EQ(::mkfifo((dir / "fifo.adn").c_str(), 0600), 0);
    fs::create_directories(dir / "dir.adn");
    {
        std::ofstream big(dir / "big.adn", std::ios::binary);
        big.seekp(2LL * 1024 * 1024 * 1024);
        big << '\n';
    }
    fs::create_directories(packs);
    ASSERT_EQ(::mkfifo((packs / "KV-1.00[0000].rpa").c_str(), 0600), 0);
    write(packs / "KV-2.00[1234].rpa", "garbage\n");
    write(dir / "x.adn", "a|1\n");
    const std::string longPort = "/dev/" + std::string(295, 'p');
    const std::string at = "korprog: ";

    struct Case {
        std::vector<std::string> args, env;
        int rc;
        std::string err;  // all of standard error
    };
    const Case cases[] = {
        {{"-program", "fifo.adn", "-json"}, {}, 3,
         at + (dir / "fifo.adn").string() + ": not a settings file (not a regular file)\n"},
        {{"-program", "/dev/zero"}, {}, 3, at + "/dev/zero: not a settings file (not a regular file)\n"},
        {{"-program", "big.adn"}, {}, 3,
         at + (dir / "big.adn").string() + ": not a settings file (larger than 65536 bytes)\n"},
        {{"-program", "dir.adn"}, {}, 3, at + (dir / "dir.adn").string() + ": not a settings file (Is a directory)\n"},
        {{"-compare", "fifo.adn"}, {}, 3, at + (dir / "fifo.adn").string() + ": not a settings file (not a regular file)\n"},
        {{"-fetch", "dir.adn"}, {}, 3, at + (dir / "dir.adn").string() + ": a directory, not a settings file\n"},
        {{"-fetch", "new.adn", "-program", "x.adn"}, {}, 3,
         at + "one run at a time: -program, -upgrade, -fetch or -compare\n"},
        {{"-upgrade", "-revpack", "KV-1.00[0000]", "-binfile", "a.bin"}, {}, 3,
         at + (packs / "KV-1.00[0000].rpa").string() + ": not a revision pack (not a regular file)\n"},
        {{"-program", "x.adn", "-port", longPort}, {}, 3,
         at + "-port: a port name of 300 characters cannot be used (at most 255)\n"},
        {{"-program", "x.adn", "-port", "/dev/tty\nUSB0"}, {}, 3,
         at + "-port: a port name with a control character (such as a line end) cannot be used\n"},
        {{"-prot", "/dev/ttyUSB1", "-program", "x.adn"}, {}, 3, at + "unknown option -prot; did you mean -port?\n"},
        {{"-program", "x.adn", "--port", "/dev/ttyUSB1"}, {}, 3, at + "unknown option --port; did you mean -port?\n"},
        {{"-Port", "/dev/ttyUSB1", "-upgrade"}, {}, 3, at + "unknown option -Port; did you mean -port?\n"},
        {{"-upgrade", "-nobakup", "-revpack", "missing"}, {}, 3, at + "unknown option -nobakup; did you mean -nobackup?\n"},
        {{"-doctor", "-jsn"}, {}, 3, at + "unknown option -jsn; did you mean -json?\n"},
        // The window's bad command line ends with its one code.
        {{"-prgram", "x.adn"}, {}, 1, at + "unknown option -prgram; did you mean -program?\n"},
        {{"-upgrade", "-revpack", "KV-2.00[1234]", "-binfile", "a.bin"}, {"DISPLAY=:4711", "KORPROG_HEADLESS"}, 3,
         "alert: Invalid Checksum (calc=0) in KV-2.00[1234].rpa. Upgrade NOT possible\n" + at +
             "revision pack KV-2.00[1234] fails its checksum\n"},
        {{"-upgrade", "-revpack", "KV-2.00[1234]", "-binfile", "a.bin", "-json"}, {"DISPLAY=", "KORPROG_HEADLESS"}, 3,
         "alert: Invalid Checksum (calc=0) in KV-2.00[1234].rpa. Upgrade NOT possible\n" + at +
             "revision pack KV-2.00[1234] fails its checksum\n"},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& a : c.args) line += " " + a.substr(0, 40);
        const KorprogRun r = runKorprog(KorprogStart(dir.string(), c.env), c.args, 20);
        EXPECT_EQ(r.rc, c.rc) << line << "\n" << r.err;
        EXPECT_EQ(r.err, c.err) << line;
    }
    // -json tells the refusal as the run's end.
    const KorprogRun fifo = runKorprog(dir.string(), {"-program", "fifo.adn", "-json"}, 20);
    EXPECT_NE(fifo.out.find("\"kind\":\"bad_input\""), std::string::npos) << fifo.out;

    const KorprogRun version = runKorprog(dir.string(), {"--version"}, 20);
    EXPECT_EQ(version.rc, 0);
    EXPECT_EQ(version.out, "korprog 2.22\n");
    EXPECT_EQ(runKorprog(dir.string(), {"-version"}, 20).out, "korprog 2.22\n");
    const KorprogRun help = runKorprog(dir.string(), {"-h"}, 20);
    EXPECT_EQ(help.rc, 0);
    EXPECT_EQ(help.out, runKorprog(dir.string(), {"-help"}, 20).out);
    EXPECT_EQ(help.out.rfind("#######", 0), 0u);
    EXPECT_NE(help.out.find("  -q             only the result line and errors, no progress\n"), std::string::npos);
}

}  // namespace

#endif
