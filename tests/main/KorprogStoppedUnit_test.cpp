// A unit that stops reading in the middle of a run, as behind a hung USB
// adapter: the line fills up and the port takes no more bytes. The built
// program must neither hang in a write nor ignore SIGTERM: the unit is given
// up as a silent one is, and SIGTERM ends the run within 2 s, as a failure.

#if defined(KORPROG_PATH) && defined(KORVANSIM_PATH)

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "korprog/KvprgFrame.h"
#include "korvansim/SimProcess.h"
#include "support/KorprogProcess.h"
#include "support/KvPty.h"
#include "support/KvSettingsFile.h"
#include "support/KvTestPack.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

using ksimtest::count;

// An upgrade cut short says so; programming says how far it got.
const char* const SIGTERM_REASON = "korprog: ended by SIGTERM before the run was complete\n";
const char* const PROGRAMMING_CUT = "korprog: programming was interrupted after entry ";

Bytes bytesOf(const KvprgFrame& f) { return Bytes(f.bytes(), f.bytes() + f.size()); }

// The unit, played by the test on a terminal of its own, so that it decides
// when the line is full: it tells its identity, takes settings and an image
// (boot loader first), and answers each entry or packet with ACK; it gives no
// settings, so its upgrades go without a backup. The
// `hangAfter`-th it answers only after it has stopped reading and filled the
// line: the program's next message meets a port that takes nothing.
class StoppingUnit {
public:
    explicit StoppingUnit(int hangAfter) : _hangAfter(hangAfter)
    {
        ::fcntl(pty.master, F_SETFL, ::fcntl(pty.master, F_GETFL) | O_NONBLOCK);
        stuffer = ::open(pty.name.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    }
    ~StoppingUnit()
    {
        if (stuffer >= 0) ::close(stuffer);
    }

    void serve(double now)
    {
        if (hungAt >= 0) return;
        uint8_t buf[4096];
        for (ssize_t n; (n = ::read(pty.master, buf, sizeof buf)) > 0;) _in.insert(_in.end(), buf, buf + n);
        if (_nakAt >= 0 && now >= _nakAt) {
            send({0x15});  // the first packet, please
            _nakAt = -1;
        }
        while (hungAt < 0 && take(now)) {
        }
    }

    KvPty pty;
    int stuffer = -1;
    double hungAt = -1;

private:
    // Handles one whole message from the program; false when none is there.
    bool take(double now)
    {
        if (_imaging) {
            if (_in.size() < size_t(Kvprg::PACKET_SIZE)) return false;
            _in.erase(_in.begin(), _in.begin() + Kvprg::PACKET_SIZE);
            answer(now);
            return true;
        }
        if (_in.size() < 6) return false;
        if (_in[0] != 0x01) {
            _in.erase(_in.begin());
            return true;
        }
        const uint8_t type = _in[1];
        // The boot loader's frame says no length: it carries the pack's 300 bytes.
        const size_t length = type == 0x0C ? 306 : 6 + _in[2];
        if (_in.size() < length) return false;
        _in.erase(_in.begin(), _in.begin() + static_cast<long>(length));
        KvprgFrame f;
        switch (type) {
        case 0x00:
            f.statusInfo(1, 0, 200, "KV8888GM-ED", "VERSION: KV-4.12", "     ", "D.49", "351234567890123");
            send(bytesOf(f));
            break;
        case 0x02:  // upload request
        case 0x05:  // end of upload
            send({0x06});
            break;
        case 0x04: answer(now); break;
        case 0x0A: send({0x0B}); break;  // upgrade request: into the boot loader
        case 0x0C:
            f.bootInfo("D.49", "KV8888GM-ED", "     ");
            send(bytesOf(f));
            // Apart from the record: what comes in one read with a frame is dropped.
            _nakAt = now + 0.2;
            _imaging = true;
            break;
        default: break;
        }
        return true;
    }
    void answer(double now)
    {
        if (++_answered == _hangAfter) {
            stuffUntilFull(stuffer, pty.master);
            hungAt = now;
        }
        send({0x06});
    }
    void send(const Bytes& b)
    {
        if (::write(pty.master, b.data(), b.size()) != static_cast<ssize_t>(b.size())) ADD_FAILURE() << "unit write";
    }

    const int _hangAfter;
    Bytes _in;
    bool _imaging = false;
    int _answered = 0;
    double _nakAt = -1;
};

class StoppedUnit : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(scratch.ok());
        dir = scratch.path();
        fs::create_directories(packs());
        std::ofstream(dir + "/new.adn") << settingsFile("Nieuw ");
    }
    void TearDown() override
    {
        sim.stop();
    }
    std::string packs() const { return dir + "/" + home + "RevPacks"; }
    void config(const std::string& port) { std::ofstream(dir + "/" + home + "config.ini") << "comport=" << port << "\n"; }
    // Runs the program against `unit`; SIGTERM `termAfter` seconds after the
    // unit stopped reading (never when negative). `termAt` is when it went.
    KorprogRun run(StoppingUnit& unit, const std::vector<std::string>& args, double termAfter, double* termAt)
    {
        config(unit.pty.name);
        *termAt = -1;
        return runKorprog(dir, args, 40, [&](double s, pid_t pid) {
            unit.serve(s);
            if (termAfter >= 0 && unit.hungAt >= 0 && *termAt < 0 && s > unit.hungAt + termAfter) {
                ::kill(pid, SIGTERM);
                *termAt = s;
            }
        });
    }

    const std::string home = "Ombrix/Korvan Tools/Programmer/";
    TempDir scratch{"korprog-stopped"};
    std::string dir;
    SimProcess sim;
};

TEST_F(StoppedUnit, UnitThatStopsReadingMidProgramIsGivenUpAsASilentOne)
{
    StoppingUnit unit(40);
    ASSERT_GE(unit.stuffer, 0);
    double termAt;
    const KorprogRun r = run(unit, {"-program", "new.adn"}, -1, &termAt);
    ASSERT_GE(unit.hungAt, 0) << r.out << r.err;
    EXPECT_EQ(r.rc, 6);
    EXPECT_EQ(r.err.rfind("korprog: ", 0), 0u) << r.err;
    EXPECT_EQ(count(r.err, "\n"), 1) << r.err;
    EXPECT_LT(r.seconds - unit.hungAt, 14) << "the life check's 10 s, as for a silent unit";
}

// The program's next message after the last ACK meets a full line; 1 s
// later it is told to end.
TEST_F(StoppedUnit, SigtermEndsARunWhoseUnitStoppedReadingWithinTwoSecondsWithCode1)
{
    KvTestPack p;
    p.data = KvTestPack::image(3000, "KV-4.61");
    const std::string pack = p.write(packs(), "KV-stopped");
    const struct {
        const char* what;
        std::vector<std::string> args;
        int hangAfter;
        const char* told;
    } cases[] = {{"-program, after 40 entries", {"-program", "new.adn"}, 40, PROGRAMMING_CUT},
                 {"-upgrade, after 5 packets", {"-upgrade", "-nobackup", "-revpack", pack, "-binfile", "app.bin"}, 5, SIGTERM_REASON}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StoppingUnit unit(c.hangAfter);
        ASSERT_GE(unit.stuffer, 0);
        double termAt;
        const KorprogRun r = run(unit, c.args, 1.0, &termAt);
        ASSERT_GE(termAt, 0) << r.out << r.err;
        EXPECT_EQ(r.rc, 1);
        EXPECT_EQ(r.err.rfind(c.told, 0), 0u) << r.err;
        EXPECT_EQ(count(r.err, "\n"), 1) << r.err;
        EXPECT_LT(r.seconds - termAt, 2.0);
    }
}

// A run under way on a slow line, told to end: what was not done is not
// reported as done.
TEST_F(StoppedUnit, SigtermInTheMiddleOfProgrammingIsNoSuccess)
{
    std::ofstream(sim.path("unit.adn")) << settingsFile("oud ");
    ASSERT_TRUE(sim.start({"--adn", sim.path("unit.adn"), "--baud", "9600"}));
    config(sim.device);
    double termAt = -1;
    const KorprogRun r = runKorprog(dir, {"-program", "new.adn"}, 40, [&](double s, pid_t pid) {
        if (termAt < 0 && count(sim.log(), "stored entry") >= 20) {
            ::kill(pid, SIGTERM);
            termAt = s;
        }
    });
    ASSERT_GE(termAt, 0) << r.err;
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err.rfind(PROGRAMMING_CUT, 0), 0u) << r.err;
    // The entry on its way when the signal came is named once the unit took it.
    const std::string took = std::to_string(count(sim.log(), "stored entry"));
    EXPECT_EQ(r.err, PROGRAMMING_CUT + took + "; entries 1 to " + took + " were programmed\n");
    EXPECT_LT(r.seconds - termAt, 2.0);
    EXPECT_EQ(ksimtest::readFile(sim.path("unit.adn")), settingsFile("oud "));
}

}  // namespace

#endif
