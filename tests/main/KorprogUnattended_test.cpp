// The unattended command-line runs, end to end: the built program without a
// display against the built unit simulator.

#if defined(KORPROG_PATH) && defined(KORVANSIM_PATH)

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "korprog/progctrl/Data/RevPackDb.h"
#include "korvansim/SimProcess.h"
#include "support/KvPty.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int rc;
    std::string out, err;
};

std::string settings(const std::string& word)
{
    std::string f;
    for (int k = 1; k <= 200; ++k) {
        const std::string t = k == 10 ? "KV8888GM-ED" : k == 20 ? "     " : word + std::to_string(k);
        f += t + "|" + (k == 80 || k == 115 || k == 116 ? "" : std::to_string(5550000 + k)) + "\n";
    }
    return f;
}

// An image whose version marker the simulator reads back.
std::string image(size_t size, const std::string& version)
{
    std::string d;
    for (size_t i = 0; i < size; ++i) d += static_cast<char>('A' + i % 23);
    d.replace(100, 16, "VERSION: " + version);
    return d;
}

class Unattended : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/korprog-unattended-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir = tmpl;
        packs = dir / "Ombrix/Korvan Tools/Programmer/RevPacks";
        fs::create_directories(packs);
    }
    void TearDown() override
    {
        sim.stop();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    void write(const std::string& name, const std::string& content)
    {
        std::ofstream(dir / name, std::ios::binary) << content;
    }
    std::string read(const fs::path& p) const { return ksimtest::readFile(p.string()); }

    // The simulator with `args`, and config.ini naming its terminal.
    void startSim(std::vector<std::string> args)
    {
        args.insert(args.end(), {"--adn", sim.path("unit.adn"), "--image", sim.path("image.bin")});
        std::ofstream(sim.path("unit.adn")) << settings("oud ");
        ASSERT_TRUE(sim.start(args));
        write("config.ini", "comport=" + sim.device + "\n");
    }

    Outcome korprog(const std::vector<std::string>& args, int timeoutS = 20)
    {
        pid_t pid = fork();
        if (pid == 0) {
            setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
            setenv("KORPROG_DATA_DIR", dir.c_str(), 1);
            unsetenv("DISPLAY");
            if (chdir(dir.c_str()) != 0) _exit(126);
            if (!freopen("out.txt", "w", stdout) || !freopen("err.txt", "w", stderr)) _exit(125);
            std::vector<char*> argv{const_cast<char*>(KORPROG_PATH)};
            for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(KORPROG_PATH, argv.data());
            _exit(127);
        }
        int rc = -2;
        for (int i = 0; i < timeoutS * 100; ++i) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (rc == -2) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        return {rc, read(dir / "out.txt"), read(dir / "err.txt")};
    }

    // A pack with the application image `bin` and two boot loaders; the
    // name carries its checksum. Returns the name to give -revpack.
    std::string pack(const std::string& name, const std::string& bin, const std::string& type, const std::string& data,
                     const std::string& adn = "", const std::vector<std::string>& rows = {})
    {
        {
            RevPackDb db(nullptr, packs.c_str());
            db.selectDb(name.c_str());
            db.setEntry(RevPackDb::GENERAL, RevPackDb::DB_VERSION, RevPackDb::DB_VERSION_NR);
            db.flush();
            db.selectDb(name.c_str());
            auto add = [&](const std::string& g, const std::string& bytes, const char* hw) {
                db.setEntry(RevPackDb::BINLIST, g.c_str(), g.c_str());
                db.setEntry(g.c_str(), RevPackDb::BIN_SIZE, static_cast<int>(bytes.size()));
                db.setEntry(g.c_str(), RevPackDb::BIN_DATA, bytes.data(), static_cast<int>(bytes.size()));
                db.setEntry(g.c_str(), RevPackDb::BIN_HWVERS, hw);
            };
            add("BOOT_LOAD_00.bin", std::string(200, '\x30'), "00");
            add("BOOT_LOAD_49.bin", std::string(300, '\x49'), "49");
            add(bin, data, "D.49");
            db.setEntry(bin.c_str(), RevPackDb::BIN_TYPE, type.c_str());
            db.setEntry(bin.c_str(), RevPackDb::BIN_VERSION, "KV-4.20");
            db.setEntry(bin.c_str(), RevPackDb::BIN_SPECIAL, "     ");
            if (!adn.empty()) {
                db.setEntry(bin.c_str(), RevPackDb::ADN_FILE, "settings.adn");
                db.setEntry(bin.c_str(), RevPackDb::ADN_SIZE, static_cast<int>(adn.size()));
                db.setEntry(bin.c_str(), RevPackDb::ADN_DATA, adn.data(), static_cast<int>(adn.size()));
            }
            std::vector<std::string> all = {"4.**;D.**"};
            all.insert(all.end(), rows.begin(), rows.end());
            for (size_t i = 0; i < all.size(); ++i)
                db.setEntry(RevPackDb::HWSWLIST, std::to_string(i + 1).c_str(), all[i].c_str());
            db.clearDb();
        }
        RevPackDb check(nullptr, packs.c_str());
        char sum[8];
        std::snprintf(sum, sizeof sum, "%04x", check.readCheckSum((packs / (name + ".rpa")).c_str()));
        const std::string named = name + "[" + sum + "]";
        fs::rename(packs / (name + ".rpa"), packs / (named + ".rpa"));
        return named;
    }

    static std::string padded(std::string data)
    {
        while (data.size() % 128) data += '\xFF';
        return data;
    }
    static int lines(const std::string& s) { return static_cast<int>(std::count(s.begin(), s.end(), '\n')); }

    fs::path dir, packs;
    SimProcess sim;
};

TEST_F(Unattended, ProgramWritesTheWholeFileIntoTheUnitAndEndsZero)
{
    startSim({});
    const std::string file = settings("Nieuw ");
    write("new.adn", file);
    const Outcome r = korprog({"-program", "new.adn"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(read(sim.path("unit.adn")), file);
    EXPECT_NE(r.out.find("Programmeren #200 gereed.\nVerbonden\n"), std::string::npos) << r.out;
}

TEST_F(Unattended, ProgramRefusesWhatIsNoSettingsFileBeforeTheUnitHearsAnything)
{
    startSim({});
    write("notes.txt", "just some text\nwithout any bar\n");
    write("nul.adn", std::string("a|1\n\0|2\n", 8));
    fs::create_directories(dir / "folder.adn");
    struct Case {
        const char* file;
        const char* reason;
    } cases[] = {{"missing.adn", "no such settings file"},
                 {"folder.adn", "not a settings file"},
                 {"notes.txt", "not a settings file (line 1 has no '|')"},
                 {"nul.adn", "NUL byte"}};
    for (const Case& c : cases) {
        const Outcome r = korprog({"-program", c.file});
        EXPECT_EQ(r.rc, 1) << c.file;
        EXPECT_EQ(lines(r.err), 1) << r.err;
        EXPECT_EQ(r.err.rfind("korprog: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    }
    EXPECT_EQ(sim.log().find("<- "), std::string::npos) << "nothing reached the unit";
}

TEST_F(Unattended, ProgramWithoutAUnitEndsNonZeroAfterTheStartUp)
{
    KvPty silent;
    write("config.ini", "comport=" + silent.name + "\n");
    write("new.adn", settings("x"));
    const auto t0 = std::chrono::steady_clock::now();
    const Outcome r = korprog({"-program", "new.adn"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "korprog: Korvan niet aangesloten\n");
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(15));
}

}  // namespace

#endif
