#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "korprog/RunFailure.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/runlog/RunLog.h"
#include "main/Main.h"
#include "main/MainStartup.h"
#include "main/RunState.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

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
    // The text scripts know comes first, unchanged; what was added follows.
    for (const char* help : {"-help", "xhelpx"}) {
        const std::string text = usageOf({"kp", help});
        EXPECT_EQ(text.substr(0, expected.size()), expected);
        const std::string added = text.substr(std::min(text.size(), expected.size()));
        for (const char* option : {"-json", "-report FILE", "-nobackup", "-noverify", "Exit codes", "\n  10  "})
            EXPECT_NE(added.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(usageOf({"kp", "-help", "-upgrade"}), "");
    EXPECT_EQ(usageOf({"kp"}), "");
}

// Scripts act on an unattended run's code; the window keeps its one code.
TEST(MainStartup, AFailureEndsAnUnattendedRunWithItsKindsCodeAndTheWindowWithOne)
{
    RunState::reset();
    RunFailure::record({RunFailure::Kind::NotAllowed, "not for this unit"});
    EXPECT_EQ(Main::exitCode(), 1);
    RunState::reset();
    RunLog::begin("upgrade", {});
    RunFailure::record({RunFailure::Kind::NotAllowed, "not for this unit"});
    EXPECT_EQ(Main::exitCode(), 8);
    RunState::reset();
}

TEST(MainStartup, OptionsTakeTheirValues)
{
    RunState::reset();
    Args a({"kp", "-revpack", "KV-1[ab]", "-binfile", "x.bin", "-remdbg", "127.0.0.1", "4000", "-nohwcheck",
            "-produpgr", "-upgrade", "-program", "s.adn", "-createrevpack", "-cmdl_crtrpa", "-bindir", "/abs/bins"});
    std::string why;
    EXPECT_TRUE(MainStartup::handleArgs(a.argc(), a.argv(), &why)) << why;
    EXPECT_STREQ(RevPackDb::CMDL_REVPACK, "KV-1[ab]");
    EXPECT_STREQ(RevPackDb::CMDL_BINFILE, "x.bin");
    EXPECT_STREQ(Main::_dbgAddr, "127.0.0.1");
    EXPECT_EQ(Main::_dbgPort, 4000);
    EXPECT_FALSE(RevPackDb::CHECK_HARDWARE);
    EXPECT_FALSE(RevPackDb::CHECK_SPECIAL);
    EXPECT_TRUE(RevPackDb::CMDL_UPGRADE);
    // Paths keep meaning the directory the program was started in.
    EXPECT_EQ(std::string(FrmKorProgImpl::PROG_FILE_ADN), (fs::current_path() / "s.adn").string());
    EXPECT_TRUE(FrmKorProgImpl::CMDL_PROGRAM);
    EXPECT_TRUE(FrmKorProgImpl::CREATE_REVPACK);
    EXPECT_TRUE(RevPackDb::CMDL_CREATE_REVPACK);
    EXPECT_STREQ(RevPackDb::CMDL_BINDIR, "/abs/bins");

    RunState::reset();
    Args values({"kp", "-revpack", "-upgrade"});  // "-upgrade" is the pack's name
    EXPECT_TRUE(MainStartup::handleArgs(values.argc(), values.argv(), &why));
    EXPECT_STREQ(RevPackDb::CMDL_REVPACK, "-upgrade");
    EXPECT_FALSE(RevPackDb::CMDL_UPGRADE);
    RunState::reset();
}

// An option without its values is refused, with the reason, rather than
// run as another command line (the built program's tests show -program and
// -revpack).
TEST(MainStartup, OptionsWithoutTheirValuesAreRefused)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"kp", "-upgrade", "-binfile"}, "-binfile needs a value"},
        {{"kp", "-remdbg", "host"}, "-remdbg needs 2 values"},
        {{"kp", "-bindir", "", "-cmdl_crtrpa"}, "-bindir needs a value, not an empty one"},
    };
    for (const auto& r : refused) {
        Args a(r.first);
        std::string why;
        EXPECT_FALSE(MainStartup::handleArgs(a.argc(), a.argv(), &why)) << r.second;
        EXPECT_EQ(why, r.second);
    }
    RunState::reset();
}

TEST(MainStartup, RpaArgumentIsRememberedAndNeverAnOption)
{
    TempDir tmp("korprog-main", TempDir::ENTER);
    RunState::reset();
    std::ofstream("KV-x[0a0b].rpa") << "; FLTK preferences file format 1.0\n";
    std::ofstream("-upgrade") << "not an option here\n";
    Args a({"kp", "-upgrade", "KV-x[0a0b].rpa", "-program", "s.adn", "-bindir", "images"});
    EXPECT_TRUE(MainStartup::handleArgs(a.argc(), a.argv(), nullptr));
    EXPECT_STREQ(Main::_refPackFile, "KV-x[0a0b].rpa");
    EXPECT_EQ(MainStartup::packArgument(), (fs::path(tmp.path()) / "KV-x[0a0b].rpa").string()) << "copied in once the lock is ours";
    EXPECT_EQ(fs::path(RevPackDb::CMDL_BINDIR), fs::path(tmp.path()) / "images");
    EXPECT_FALSE(RevPackDb::CMDL_UPGRADE) << "an existing file is never taken as an option";
    EXPECT_EQ(std::string(FrmKorProgImpl::PROG_FILE_ADN), (fs::path(tmp.path()) / "s.adn").string());
    RunState::reset();
}

TEST(MainStartup, DataDirectoriesFollowTheEnvironment)
{
    TempDir tmp("korprog-main", TempDir::ENTER);
    setenv("KORPROG_DATA_DIR", tmp.path().c_str(), 1);
    MainStartup::setProgDataDir();
    MainStartup::setRevpacksDir();
    unsetenv("KORPROG_DATA_DIR");
    EXPECT_EQ(std::string(Main::_revpacksDir), (fs::path(tmp.path()) / "Ombrix/Korvan Tools/Programmer/RevPacks").string());
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

}  // namespace
