#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bdebug/BTrace.h"
#include "helm/platform/BNamedMutex.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "main/Main.h"
#include "main/MainStartup.h"

namespace fs = std::filesystem;

namespace {

// A fresh directory that is the current directory while the test runs.
class InTempDir {
public:
    InTempDir()
    {
        char tmpl[] = "/tmp/korprog-main-XXXXXX";
        dir = mkdtemp(tmpl);
        old = fs::current_path();
        fs::current_path(dir);
    }
    ~InTempDir()
    {
        fs::current_path(old);
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    fs::path dir, old;
};

struct Args {
    explicit Args(std::vector<std::string> w) : words(std::move(w))
    {
        for (auto& s : words) ptrs.push_back(&s[0]);
    }
    int argc() const { return int(ptrs.size()); }
    char** argv() { return ptrs.data(); }
    std::vector<std::string> words;
    std::vector<char*> ptrs;
};

std::string usageOf(std::vector<std::string> words)
{
    Args a(std::move(words));
    char* buf = nullptr;
    size_t len = 0;
    FILE* out = open_memstream(&buf, &len);
    const bool shown = MainStartup::usage(a.argc(), a.argv(), out);
    std::fclose(out);
    std::string text(buf, len);
    std::free(buf);
    return shown ? text : "";
}

void resetSwitches()
{
    RevPackDb::CMDL_CREATE_REVPACK = RevPackDb::CMDL_UPGRADE = false;
    RevPackDb::CHECK_SPECIAL = RevPackDb::CHECK_HARDWARE = true;
    RevPackDb::CMDL_BINDIR = RevPackDb::CMDL_REVPACK = RevPackDb::CMDL_BINFILE = "";
    FrmKorProgImpl::CREATE_REVPACK = false;
    FrmKorProgImpl::PROG_FILE_ADN = "";
    FrmKorProgImpl::CMDL_PROGRAM = false;
    Main::_dbgAddr = "";
    Main::_dbgPort = 0;
    Main::_refPackFile = nullptr;
}

TEST(MainStartup, UsageTextOnlyForASingleHelpArgument)
{
    const std::string hashes(79, '#');
    const std::string expected =
        hashes + "\n# Usage: kp\n"
                 "#  -cmdl_crtrpa,   Create RevPack database via KorProg command line\n"
                 "#  -bindir,        Directory where binfiles are stored\n"
                 "#                  e.g. \"korprog -cmdl_crtrpa -bindir <directory>\"\n"
                 "#  -createrevpack, Create RevPack database via KorProg gui\n"
                 "#  -nohwcheck,     No check on hardware revision.\n"
                 "\n"
                 "#  -upgrade,       Sofware upgrade via the commandline.\n"
                 "#                  e.g. -upgrade -revpack <rpa> -binfile <xx.bin>\n"
                 "#  -revpack,       RevPack database which is stored in ./RevPacks\n"
                 "#                  e.g. -revpack KV-xxx[yyy] (No ./RevPacks/, *.rpa included)\n"
                 "#  " + std::string(42, ' ') + std::string(32, '^') + "\n"
                 "#  -binfile,       Binfile containing the desired sofware version\n"
                 "#  -program,       Program settings via command line\n"
                 "#                  e.g. \"korprog -program <\"C:\\xx yy\\file.adn\">\"\n" +
        hashes + "\n";
    EXPECT_EQ(usageOf({"kp", "-help"}), expected);
    EXPECT_EQ(usageOf({"kp", "xhelpx"}), expected);
    EXPECT_EQ(usageOf({"kp", "-help", "-upgrade"}), "");
    EXPECT_EQ(usageOf({"kp"}), "");
}

TEST(MainStartup, OptionsTakeTheirValuesAndAValueMissingAtTheEndIsAbsent)
{
    resetSwitches();
    Args a({"kp", "-revpack", "KV-1[ab]", "-binfile", "x.bin", "-remdbg", "127.0.0.1", "4000", "-nohwcheck",
            "-produpgr", "-upgrade", "-program", "s.adn", "-createrevpack", "-cmdl_crtrpa", "-bindir"});
    MainStartup::handleArgs(a.argc(), a.argv());
    EXPECT_STREQ(RevPackDb::CMDL_REVPACK, "KV-1[ab]");
    EXPECT_STREQ(RevPackDb::CMDL_BINFILE, "x.bin");
    EXPECT_STREQ(Main::_dbgAddr, "127.0.0.1");
    EXPECT_EQ(Main::_dbgPort, 4000);
    EXPECT_FALSE(RevPackDb::CHECK_HARDWARE);
    EXPECT_FALSE(RevPackDb::CHECK_SPECIAL);
    EXPECT_TRUE(RevPackDb::CMDL_UPGRADE);
    EXPECT_STREQ(FrmKorProgImpl::PROG_FILE_ADN, "s.adn");
    EXPECT_TRUE(FrmKorProgImpl::CMDL_PROGRAM);
    EXPECT_TRUE(FrmKorProgImpl::CREATE_REVPACK);
    EXPECT_TRUE(RevPackDb::CMDL_CREATE_REVPACK);
    EXPECT_STREQ(RevPackDb::CMDL_BINDIR, "");

    resetSwitches();
    Args values({"kp", "-revpack", "-upgrade", "-remdbg", "h"});  // "-upgrade" is the pack's name
    MainStartup::handleArgs(values.argc(), values.argv());
    EXPECT_STREQ(RevPackDb::CMDL_REVPACK, "-upgrade");
    EXPECT_FALSE(RevPackDb::CMDL_UPGRADE);
    EXPECT_EQ(Main::_dbgPort, 0);
    resetSwitches();
}

TEST(MainStartup, RpaArgumentIsCopiedRememberedAndNeverAnOption)
{
    InTempDir tmp;
    resetSwitches();
    fs::create_directories("packs");
    std::snprintf(Main::_revpacksDir, sizeof Main::_revpacksDir, "%s", (tmp.dir / "packs").c_str());
    std::ofstream("KV-x[0a0b].rpa") << "; FLTK preferences file format 1.0\n";
    std::ofstream("-upgrade") << "not an option here\n";
    fs::create_directories("bin");
    Args a({(tmp.dir / "bin" / "korprog").string(), "-upgrade", "KV-x[0a0b].rpa", "-bindir", "images"});
    MainStartup::handleArgs(a.argc(), a.argv());
    EXPECT_STREQ(Main::_refPackFile, "KV-x[0a0b].rpa");
    EXPECT_EQ(fs::path(RevPackDb::CMDL_BINDIR), tmp.dir / "images") << "seen from where the program was started";
    EXPECT_TRUE(fs::exists(tmp.dir / "packs" / "KV-x[0a0b].rpa"));
    EXPECT_FALSE(RevPackDb::CMDL_UPGRADE) << "an existing file is never taken as an option";
    EXPECT_EQ(fs::current_path(), tmp.dir / "bin") << "runs from the program's directory";
    resetSwitches();
}

TEST(MainStartup, OldPacksAreMovedIntoThePackDirectory)
{
    InTempDir tmp;
    fs::create_directories("RevPacks");
    fs::create_directories("new");
    for (const char* n : {"a10.rpa", "a9.RPA", "notes.txt"}) std::ofstream(fs::path("RevPacks") / n) << n;
    std::snprintf(Main::_revpacksDir, sizeof Main::_revpacksDir, "%s", (tmp.dir / "new").c_str());
    std::string trace;
    BTrace::capture(&trace);
    MainStartup::moveOldRevpacksToNewLoc();
    BTrace::capture(nullptr);
    EXPECT_TRUE(fs::exists("new/a10.rpa"));
    EXPECT_TRUE(fs::exists("new/a9.RPA"));
    EXPECT_TRUE(fs::exists("RevPacks/notes.txt"));
    EXPECT_FALSE(fs::exists("RevPacks/a10.rpa"));
    EXPECT_LT(trace.find("a9.RPA"), trace.find("a10.rpa")) << "numeric-aware order";
}

TEST(MainStartup, DataDirectoriesFollowTheEnvironment)
{
    InTempDir tmp;
    setenv("KORPROG_DATA_DIR", tmp.dir.c_str(), 1);
    MainStartup::setProgDataDir();
    MainStartup::setRevpacksDir();
    unsetenv("KORPROG_DATA_DIR");
    EXPECT_EQ(std::string(Main::_revpacksDir), (tmp.dir / "Ombrix/Korvan Tools/Programmer/RevPacks").string());
    EXPECT_TRUE(fs::is_directory(Main::_revpacksDir));
    EXPECT_EQ(MainStartup::programDir("C:\\x\\kp.exe"), "\\x");

    // A data directory too long for the field must not name another directory.
    setenv("KORPROG_DATA_DIR", ("/tmp/" + std::string(2100, 'd')).c_str(), 1);
    MainStartup::setProgDataDir();
    MainStartup::setRevpacksDir();
    unsetenv("KORPROG_DATA_DIR");
    EXPECT_STREQ(Main::_revpacksDir, "RevPacks");
    EXPECT_EQ(MainStartup::programDir("kp"), "");
}

#ifdef KORPROG_PATH
// Starts the program in its own process with a private lock and data directory.
pid_t startProgram(const fs::path& dir, const std::vector<std::string>& args)
{
    pid_t pid = fork();
    if (pid == 0) {
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
        setenv("KORPROG_DATA_DIR", dir.c_str(), 1);
        setenv("KORPROG_HEADLESS", "1", 1);
        unsetenv("DISPLAY");
        if (chdir(dir.c_str()) != 0) _exit(126);
        std::vector<char*> argv{const_cast<char*>(KORPROG_PATH)};
        for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(KORPROG_PATH, argv.data());
        _exit(127);
    }
    return pid;
}

int waitExit(pid_t pid, int seconds)
{
    for (int i = 0; i < seconds * 100; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -2;
}

TEST(MainStartup, SecondInstanceOfTheSameVersionEndsAtOnceWhileTheFirstRuns)
{
    InTempDir tmp;
    const pid_t dead = fork();  // a run that was killed left its pack staging behind
    if (dead == 0) _exit(0);
    waitpid(dead, nullptr, 0);
    const fs::path stale = tmp.dir / ("korprog-rpa-" + std::to_string(dead) + "-abcdef");
    fs::create_directory(stale);
    pid_t first = startProgram(tmp.dir, {});
    // The commands file appears once start-up is through; probing the lock
    // before that could make the first process take us for an instance.
    for (int i = 0; i < 1000 && !fs::exists(tmp.dir / "dbgTraceCommands.txt"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(fs::exists(stale)) << "removed at start";
    setenv("XDG_RUNTIME_DIR", tmp.dir.c_str(), 1);
    BNamedMutex probe;
    const bool held = probe.create("Helm_" Sw_VERSION "_MutexId") == BNamedMutex::ALREADY_EXISTS;
    unsetenv("XDG_RUNTIME_DIR");
    ASSERT_TRUE(held);
    pid_t second = startProgram(tmp.dir, {"-upgrade"});
    EXPECT_EQ(waitExit(second, 10), 2);
    EXPECT_EQ(waitpid(first, nullptr, WNOHANG), 0) << "the first keeps running";
    kill(first, SIGTERM);
    EXPECT_EQ(waitExit(first, 10), 0);
}
#endif

}  // namespace
