#include "main/UserDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "main/Main.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const fs::path& p, const std::string& text)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

class UserDirTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(scratch.ok());
        dir = scratch.path();
        previous = fs::current_path();
    }
    void TearDown() override
    {
        fs::current_path(previous);
        std::error_code ec;
        fs::permissions(dir, fs::perms::all, ec);
    }
    TempDir scratch{"korprog-userdir"};
    fs::path dir, previous;
};

TEST_F(UserDirTest, FirstStartFillsInWhatIsMissingAndLeavesTheUsersFilesAndTheDesktopsAlone)
{
    const fs::path share = dir / "share/korprog", user = dir / "user";
    writeFile(share / "config.csv", "layout");
    writeFile(share / "config.ini", "comport=\n");
    writeFile(share / "RevPacks/SwHwRestrictions.txt", "defaults");
    writeFile(share / "icons/hicolor/48x48/apps/korprog.png", "png");
    writeFile(share / "applications/korprog.desktop", "[Desktop Entry]");
    fs::permissions(share / "config.csv", fs::perms::owner_read | fs::perms::group_read);
    writeFile(user / "config.ini", "comport=/dev/ttyUSB0\n");

    std::string why;
    EXPECT_EQ(UserDir::copyMissing(share.string(), user.string(), &why), 2) << why;
    EXPECT_EQ(readFile(user / "config.ini"), "comport=/dev/ttyUSB0\n") << "the user's own file stays";
    EXPECT_EQ(readFile(user / "config.csv"), "layout");
    EXPECT_EQ(readFile(user / "RevPacks/SwHwRestrictions.txt"), "defaults");
    EXPECT_NE(fs::status(user / "config.csv").permissions() & fs::perms::owner_write, fs::perms::none)
        << "the user's copy can be changed";
    EXPECT_FALSE(fs::exists(user / "icons"));
    EXPECT_FALSE(fs::exists(user / "applications"));

    writeFile(user / "RevPacks/SwHwRestrictions.txt", "edited");
    EXPECT_EQ(UserDir::copyMissing(share.string(), user.string(), &why), 0);
    EXPECT_EQ(readFile(user / "RevPacks/SwHwRestrictions.txt"), "edited");

    EXPECT_EQ(UserDir::copyMissing((dir / "none").string(), user.string(), &why), -1);
    EXPECT_NE(why.find("none"), std::string::npos);
}

TEST_F(UserDirTest, WithoutInstalledDefaultsTheSourceTreesAreUsedAndADirectoryThatCannotBeMadeIsSaid)
{
    const std::string source = UserDir::installedData((dir / "elsewhere/bin/korprog").string());
    EXPECT_TRUE(fs::is_regular_file(fs::path(source) / "config.ini")) << "the source tree's data: " << source;

    writeFile(dir / "file", "");
    std::snprintf(Main::_progDataDir, sizeof Main::_progDataDir, "%s", (dir / "file").c_str());
    std::string why;
    EXPECT_FALSE(UserDir::enter("", &why));
    EXPECT_NE(why.find("cannot create"), std::string::npos) << why;
    Main::_progDataDir[0] = '\0';
}

#if defined(KORPROG_CMAKE) && defined(KORPROG_BUILD_DIR)
// The installed program, started from some other directory by a new user:
// it finds its installed data, makes the user's directory from it and leaves
// the directory it was started in as it was.
TEST_F(UserDirTest, InstalledProgramMakesTheUsersDirectoryFromItsInstalledData)
{
    const fs::path prefix = dir / "p", home = dir / "home", start = dir / "start";
    const std::string install = std::string(KORPROG_CMAKE) + " --install " + KORPROG_BUILD_DIR + " --prefix '" +
                                prefix.string() + "' >'" + (dir / "install.log").string() + "' 2>&1";
    ASSERT_EQ(std::system(install.c_str()), 0) << readFile(dir / "install.log");
    for (const char* f : {"bin/korprog", "bin/korvansim", "share/korprog/config.csv", "share/korprog/config.ini",
                          "share/korprog/Startup.html", "share/korprog/RevPacks/SwHwRestrictions.txt",
                          "share/applications/korprog.desktop", "share/icons/hicolor/48x48/apps/korprog.png"})
        EXPECT_TRUE(fs::exists(prefix / f)) << f;
    EXPECT_FALSE(fs::exists(prefix / "share/korprog/icons"));
    // Marks the installed defaults apart from the source tree's.
    std::ofstream(prefix / "share/korprog/config.ini", std::ios::app) << "korvantype=KV1111GM-ED;Installed\n";
    fs::create_directories(start);

    const pid_t pid = fork();
    if (pid == 0) {
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
        setenv("HOME", home.c_str(), 1);
        unsetenv("KORPROG_DATA_DIR");
        unsetenv("XDG_DATA_HOME");
        unsetenv("DISPLAY");
        if (chdir(start.c_str()) != 0 || !freopen((dir / "err.txt").c_str(), "w", stderr) ||
            !freopen((dir / "out.txt").c_str(), "w", stdout))
            _exit(126);
        const std::string exe = (prefix / "bin/korprog").string();
        execl(exe.c_str(), exe.c_str(), "-program", "missing.adn", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
    EXPECT_EQ(readFile(dir / "err.txt"), "korprog: " + (start / "missing.adn").string() + ": no such settings file\n");

    const fs::path user = home / ".local/share/Ombrix/Korvan Tools/Programmer";
    EXPECT_NE(readFile(user / "config.ini").find("korvantype=KV1111GM-ED;Installed"), std::string::npos);
    for (const char* f : {"config.csv", "Startup.html", "Ombrix_KorProg.gif", "RevPacks/SwHwRestrictions.txt"})
        EXPECT_TRUE(fs::exists(user / f)) << f;
    EXPECT_TRUE(fs::is_empty(start)) << "nothing is left where the program was started";
}
#endif

}  // namespace
