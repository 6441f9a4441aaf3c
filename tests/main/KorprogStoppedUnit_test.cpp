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

namespace fs = std::filesystem;

namespace {

const char* const SIGTERM_REASON = "korprog: ended by SIGTERM before the run was complete\n";

Bytes bytesOf(const KvprgFrame& f) { return Bytes(f.bytes(), f.bytes() + f.size()); }

// A unit in front of its boot loader, played by the test on a terminal of
// its own: it tells its identity, takes the upgrade request and the boot
// loader, and acknowledges the image's packets until `hangAfter` of them;
// then it stops reading, fills the line, and acknowledges that last packet,
// so the program's next packet meets a port that takes nothing.
class BootUnit {
public:
    explicit BootUnit(int hangAfter) : _hangAfter(hangAfter)
    {
        ::fcntl(pty.master, F_SETFL, ::fcntl(pty.master, F_GETFL) | O_NONBLOCK);
        stuffer = ::open(pty.name.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    }
    ~BootUnit()
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
            if (++_packets == _hangAfter) {
                stuffUntilFull(stuffer);
                hungAt = now;
            }
            send({0x06});
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
        if (type == 0x00) {
            f.statusInfo(1, 0, 200, "KV8888GM-ED", "VERSION: KV-4.12", "     ", "D.49", "351234567890123");
            send(bytesOf(f));
        } else if (type == 0x0A) {
            send({0x0B});
        } else if (type == 0x0C) {
            f.bootInfo("D.49", "KV8888GM-ED", "     ");
            send(bytesOf(f));
            // Apart from the record: what comes in one read with a frame is dropped.
            _nakAt = now + 0.2;
            _imaging = true;
        }
        return true;
    }
    void send(const Bytes& b)
    {
        if (::write(pty.master, b.data(), b.size()) != static_cast<ssize_t>(b.size())) ADD_FAILURE() << "unit write";
    }

    const int _hangAfter;
    Bytes _in;
    bool _imaging = false;
    int _packets = 0;
    double _nakAt = -1;
};

using ksimtest::count;

class StoppedUnit : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/korprog-stopped-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir = tmpl;
        fs::create_directories(dir + "/" + home + "RevPacks");
        std::ofstream(dir + "/new.adn") << settingsFile("Nieuw ");
    }
    void TearDown() override
    {
        if (stuffer >= 0) ::close(stuffer);
        sim.stop();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    void config(const std::string& port) { std::ofstream(dir + "/" + home + "config.ini") << "comport=" << port << "\n"; }
    // The simulator as the unit, holding the old settings; the test keeps a
    // way into the line to fill it when the unit stops reading.
    void startSim(std::vector<std::string> args)
    {
        args.insert(args.end(), {"--adn", sim.path("unit.adn"), "--persist"});
        std::ofstream(sim.path("unit.adn")) << oldSettings;
        ASSERT_TRUE(sim.start(args));
        config(sim.device);
        stuffer = ::open(sim.device.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(stuffer, 0);
    }
    // The unit stops reading once it has stored `entries` entries.
    bool hangAfterEntries(int entries, double now)
    {
        if (hungAt >= 0 || count(sim.log(), "stored entry") < entries) return false;
        sim.freeze();
        stuffUntilFull(stuffer);
        hungAt = now;
        return true;
    }

    const std::string home = "Ombrix/Korvan Tools/Programmer/";
    const std::string oldSettings = settingsFile("oud ");
    std::string dir;
    SimProcess sim;
    int stuffer = -1;
    double hungAt = -1;
};

TEST_F(StoppedUnit, UnitThatStopsReadingMidProgramIsGivenUpAsASilentOne)
{
    startSim({});
    const KorprogRun r =
        runKorprogWatched(dir, {"-program", "new.adn"}, 40, 0, [&](double s, pid_t) { hangAfterEntries(40, s); });
    ASSERT_GE(hungAt, 0) << r.err;
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err.rfind("korprog: ", 0), 0u) << r.err;
    EXPECT_EQ(count(r.err, "\n"), 1) << r.err;
    EXPECT_EQ(r.err.find("SIGTERM"), std::string::npos) << r.err;
    EXPECT_LT(r.seconds - hungAt, 14) << "the life check's 10 s, as for a silent unit";
    EXPECT_EQ(ksimtest::readFile(sim.path("unit.adn")), oldSettings);
}

// With the port full the program's retries meet a port that takes nothing;
// with a slow line the run is simply under way. Either way a signal ends it
// at once, and what was not done is not reported as done.
TEST_F(StoppedUnit, SigtermEndsAProgramRunWithinTwoSecondsAsAFailure)
{
    for (const bool stopped : {true, false}) {
        SCOPED_TRACE(stopped ? "unit stopped reading" : "unit on a 9600-baud line");
        sim.stop();
        hungAt = -1;
        if (stuffer >= 0) ::close(stuffer);
        startSim(stopped ? std::vector<std::string>{} : std::vector<std::string>{"--baud", "9600"});
        double termAt = -1;
        const KorprogRun r = runKorprogWatched(dir, {"-program", "new.adn"}, 30, 0, [&](double s, pid_t pid) {
            const bool due = stopped ? (hangAfterEntries(40, s), hungAt >= 0 && s > hungAt + 3)
                                     : count(sim.log(), "stored entry") >= 20;
            if (due && termAt < 0) {
                ::kill(pid, SIGTERM);
                termAt = s;
            }
        });
        ASSERT_GE(termAt, 0) << r.err;
        EXPECT_EQ(r.rc, 1);
        EXPECT_EQ(r.err, SIGTERM_REASON);
        EXPECT_LT(r.seconds - termAt, 2.0);
    }
}

TEST_F(StoppedUnit, SigtermEndsAnUpgradeWhoseUnitStoppedReadingMidImage)
{
    BootUnit unit(5);
    ASSERT_GE(unit.stuffer, 0);
    config(unit.pty.name);
    KvTestPack p;
    p.data = KvTestPack::image(3000, "KV-6.01");
    const std::string name = p.write(dir + "/" + home + "RevPacks", "KV-stopped");
    double termAt = -1;
    const KorprogRun r = runKorprogWatched(dir, {"-upgrade", "-revpack", name, "-binfile", "app.bin"}, 30, 0,
                                           [&](double s, pid_t pid) {
                                               unit.serve(s);
                                               if (unit.hungAt >= 0 && termAt < 0 && s > unit.hungAt + 1) {
                                                   ::kill(pid, SIGTERM);
                                                   termAt = s;
                                               }
                                           });
    ASSERT_GE(termAt, 0) << r.out << r.err;
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, SIGTERM_REASON);
    EXPECT_LT(r.seconds - termAt, 2.0);
}

}  // namespace

#endif
