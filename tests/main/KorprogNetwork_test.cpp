// Units across the network: the built program against korvansim behind a
// real device server (ser2net, started here on 127.0.0.1), through RFC 2217
// and raw TCP; a server that is not there, and one that goes away in the
// middle of a run.

#if defined(KORPROG_PATH) && defined(KORVANSIM_PATH)

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include <poll.h>
#include <unistd.h>

#include "korprog/conndrv/Data/PortLock.h"
#include "korvansim/SimProcess.h"
#include "support/KorprogProcess.h"
#include "support/KorprogUserTest.h"
#include "support/KvSettingsFile.h"
#include "support/KvTestPack.h"
#include "support/Ser2netServer.h"

namespace {

class NetPorts : public KorprogUserTest {
protected:
    NetPorts() : KorprogUserTest("korprog-net") {}
    void SetUp() override
    {
        if (!Ser2netServer::available()) GTEST_SKIP() << "ser2net is not installed (tools/deps.sh installs it)";
        KorprogUserTest::SetUp();
        std::ofstream(sim.path("unit.adn")) << oldSettings;
        ASSERT_TRUE(sim.start({"--adn", sim.path("unit.adn"), "--image", sim.path("image.bin"), "--persist"}));
    }
    KorprogRun korprog(const std::vector<std::string>& args, int timeoutS = 20,
                       const std::function<void(double, pid_t)>& during = {})
    {
        return runKorprog(KorprogStart{dir}, args, timeoutS, during);
    }
    std::string held() const { return ksimtest::readFile(sim.path("unit.adn")); }
    // ser2net lets go of the unit's terminal a moment after a connection
    // ends, and refuses another connection to it until then.
    bool released() const
    {
        for (int i = 0; i < 500; ++i) {
            const std::string log = sim.log();
            if (ksimtest::count(log, "the program closed the port") == ksimtest::count(log, "the program opened the port"))
                return true;
            ::poll(nullptr, 0, 10);
        }
        return false;
    }

    const std::string oldSettings = settingsFile("oud ");
    Ser2netServer server;
};

TEST_F(NetPorts, ProgramsThroughRfc2217AndRawTcpTheDoctorNamesWhatTheServerTookAndTheServersPortIsLocked)
{
    const std::string telnet = server.serve(sim.device, true);
    const std::string raw = server.serve(sim.device, false);
    ASSERT_TRUE(server.start());

    const KorprogRun viaTelnet = korprog({"-q", "-program", "new.adn", "-port", telnet});
    ASSERT_EQ(viaTelnet.rc, 0) << viaTelnet.err;
    EXPECT_EQ(held(), newSettings);

    const std::string other = settingsFile("Ander ");
    write("other.adn", other);
    ASSERT_TRUE(released());
    const KorprogRun viaRaw = korprog({"-q", "-program", "other.adn", "-port", raw});
    ASSERT_EQ(viaRaw.rc, 0) << viaRaw.err;
    EXPECT_EQ(held(), other);

    ASSERT_TRUE(released());
    const KorprogRun doctor = korprog({"-doctor", "-json", "-port", telnet});
    bool seen = false;
    std::istringstream lines(doctor.out);
    for (std::string l; std::getline(lines, l);) {
        const nlohmann::json c = nlohmann::json::parse(l);
        if (c["check"] != "configured_port") continue;
        seen = true;
        EXPECT_TRUE(c["ok"].get<bool>()) << l;
        EXPECT_EQ(c["address"], "127.0.0.1:" + std::to_string(server.ports[0].port)) << l;
        EXPECT_EQ(c["accepted"], "binary both ways, COM-PORT-OPTION: 9600 baud, 8 data bits, no parity, 1 stop bit, "
                                 "no flow control")
            << l;
    }
    EXPECT_TRUE(seen) << doctor.out;

    // A run that has the server's port keeps every other off it, by
    // whichever scheme they name it.
    PortLock lock;
    ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);  // where the program's runs keep their locks
    const PortLock::Result taken = lock.takeNet("127.0.0.1:" + std::to_string(server.ports[0].port), true);
    ::unsetenv("XDG_RUNTIME_DIR");
    ASSERT_EQ(taken, PortLock::TAKEN);
    const std::string sameByRaw = "socket://127.0.0.1:" + std::to_string(server.ports[0].port);
    const KorprogRun refused = korprog({"-q", "-program", "new.adn", "-port", sameByRaw});
    EXPECT_EQ(refused.rc, 2);
    EXPECT_NE(refused.err.find("COM poort " + sameByRaw + " is in gebruik door KorProg (proces " +
                               std::to_string(::getpid()) + ")"),
              std::string::npos)
        << refused.err;
}

TEST_F(NetPorts, AnUpgradeThroughRfc2217CarriesRunsOf0xFFByteExact)
{
    const std::string telnet = server.serve(sim.device, true);
    ASSERT_TRUE(server.start());
    KvTestPack p;
    std::string image = KvTestPack::image(3000, "KV-4.61");
    // Data that looks like Telnet commands, doubled bytes and subnegotiations
    // among them, and packets that are 0xFF only.
    image.replace(300, 300, std::string(300, '\xFF'));
    const std::string lookalikes = "\xFF\xF0\xFF\xFA\x2C\x01\xFF\xFF\xFF\xFB\x00\xFF\xFD\x2C\xFF";
    for (size_t at = 1000; at < 2900; at += 97) image.replace(at, lookalikes.size(), lookalikes);
    image.replace(2999, 1, "\xFF");
    p.data = image;
    const std::string name = p.write(packs, "KV-net");

    const KorprogRun r = korprog({"-q", "-upgrade", "-revpack", name, "-binfile", "app.bin", "-port", telnet}, 40);
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(ksimtest::readFile(sim.path("image.bin")), KvTestPack::padded(image));
}

TEST_F(NetPorts, NoServerEndsWith4AtOnceAndAServerGoneInTheMiddleOfProgrammingIsAUnitLost6)
{
    const std::string nobody = "rfc2217://127.0.0.1:" + std::to_string(freeTcpPort());
    const KorprogRun none = korprog({"-q", "-program", "new.adn", "-port", nobody});
    EXPECT_EQ(none.rc, 4);
    EXPECT_EQ(none.err, "korprog: COM poort niet beschikbaar: Geen verbinding met " + nobody +
                            ": Connection refused. Controleer het adres en of de server luistert.\n");
    EXPECT_LT(none.seconds, 5);

    // A server that never answers: given up once, after 5 s, not again on
    // every message the run would send.
    DeafServer deaf;
    const std::string silent = "socket://127.0.0.1:" + std::to_string(deaf.port);
    const KorprogRun late = korprog({"-q", "-program", "new.adn", "-port", silent});
    EXPECT_EQ(late.rc, 4);
    EXPECT_EQ(late.err, "korprog: COM poort niet beschikbaar: Geen verbinding met " + silent +
                            ": Connection timed out. Controleer het adres en of de server luistert.\n");
    EXPECT_LT(late.seconds, 7);

    const std::string telnet = server.serve(sim.device, true);
    ASSERT_TRUE(server.start());
    const KorprogRun lost = korprog({"-q", "-program", "new.adn", "-port", telnet}, 30, [&](double, pid_t) {
        if (server.running() && sim.log().find("stored entry 60 ") != std::string::npos) server.stop();
    });
    EXPECT_FALSE(server.running()) << "the run ended before the server was stopped";
    EXPECT_EQ(lost.rc, 6) << lost.err;
    EXPECT_EQ(lost.err.rfind("korprog: the unit was lost during programming after entry ", 0), 0u) << lost.err;
    EXPECT_EQ(held(), oldSettings) << "an unfinished upload stores nothing";
}

}  // namespace

#endif
