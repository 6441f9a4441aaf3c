// The production line: several units at once, each on a port of its own
// (korvansim instances behind links), the port lock between runs, and the
// list of ports.

#if defined(KORPROG_PATH) && defined(KORVANSIM_PATH)

#include <gtest/gtest.h>
#include <signal.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "helm/platform/BNamedMutex.h"
#include "korprog/conndrv/Data/Serial.h"
#include "korvansim/SimProcess.h"
#include "main/Main.h"
#include "support/KorprogProcess.h"
#include "support/KvPty.h"
#include "support/KvSettingsFile.h"
#include "support/Ser2netServer.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1) lines.push_back(text.substr(at, nl - at));
    if (at < text.size()) lines.push_back(text.substr(at));
    return lines;
}

// The summary's row of a port (by its short name), "" when there is none.
std::string rowOf(const std::string& out, const std::string& name)
{
    for (const std::string& l : linesOf(out))
        if (l.rfind(name + " ", 0) == 0) return l;
    return "";
}

class LineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(scratch.ok());
        dir = scratch.path();
        fs::create_directories(dir + "/" + home);
        std::ofstream(dir + "/new.adn") << newSettings;
    }
    // Unit k on the link dir/kN, with IMEI 3500000000000k and its options,
    // holding `held`.
    std::string startUnit(int k, std::vector<std::string> options = {}, const std::string& held = settingsFile("oud "))
    {
        sims.emplace_back(new SimProcess());
        SimProcess& sim = *sims.back();
        const std::string link = dir + "/k" + std::to_string(k);
        std::ofstream(sim.path("unit.adn")) << held;
        options.insert(options.end(), {"--link", link, "--adn", sim.path("unit.adn"), "--imei",
                                       "3500000000000" + std::to_string(k)});
        EXPECT_TRUE(sim.start(options));
        return link;
    }
    std::string held(int k) const { return ksimtest::readFile(sims[size_t(k)]->path("unit.adn")); }
    static std::string shortName(const std::string& link) { return fs::canonical(link).string().substr(5); }
    std::vector<json> report() const
    {
        std::vector<json> records;
        for (const std::string& l : linesOf(ksimtest::readFile(dir + "/units.jsonl"))) records.push_back(json::parse(l));
        return records;
    }

    TempDir scratch{"korprog-line"};
    std::string dir;
    const std::string home = "Ombrix/Korvan Tools/Programmer/";
    const std::string newSettings = settingsFile("Nieuw ");
    std::vector<std::unique_ptr<SimProcess>> sims;
};

TEST_F(LineTest, FourUnitsAreProgrammedAtOnceEachRecordedAndSummedUp)
{
    std::vector<std::string> args{"-program", "new.adn", "-report", "units.jsonl"};
    std::vector<std::string> ports;
    for (int k = 0; k < 4; ++k) {
        ports.push_back(startUnit(k));
        args.insert(args.end(), {"-port", ports.back()});
    }
    const KorprogRun r = runKorprog(dir, args, 60);
    ASSERT_EQ(r.rc, 0) << r.out << r.err;

    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(held(k), newSettings) << "unit " << k;
        const std::string name = shortName(ports[size_t(k)]);
        EXPECT_NE(r.out.find("[" + name + "] Programmeren #200 gereed."), std::string::npos) << r.out;
        const std::string row = rowOf(r.out, name);
        EXPECT_NE(row.find("KV8888GM-ED  3500000000000" + std::to_string(k) + "  gelukt"), std::string::npos) << row;
    }
    EXPECT_NE(r.out.find("\nPoort  "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n4 van 4 gelukt\n"), std::string::npos) << r.out;
    // Every line of the runs carries its port; only the summary does not.
    for (const std::string& l : linesOf(r.out.substr(0, r.out.find("\nPoort  "))))
        EXPECT_EQ(l.rfind("[pts/", 0), 0u) << l;

    // One whole record per unit in the one file, each naming its port.
    std::set<std::string> recorded;
    for (const json& rec : report()) {
        EXPECT_EQ(rec["result"], "ok");
        recorded.insert(rec["port"].get<std::string>());
    }
    EXPECT_EQ(recorded, std::set<std::string>(ports.begin(), ports.end()));
}

TEST_F(LineTest, AUnitThatFailsIsNamedTheOthersAreDoneAndTheFirstFailureInPortOrderIsTheCode)
{
    const std::string ok1 = startUnit(0), differs = startUnit(1, {"--store-differs", "37"}), ok2 = startUnit(3);
    const std::string missing = dir + "/k2";
    const KorprogRun r = runKorprog(
        dir, {"-program", "new.adn", "-report", "units.jsonl", "-port", ok1, "-port", differs, "-port", missing, "-port", ok2},
        60);
    // The missing port's run ends first (4); the read-back's failure is the first in port order.
    EXPECT_EQ(r.rc, 9) << r.out << r.err;
    EXPECT_EQ(held(0), newSettings);
    EXPECT_EQ(held(2), newSettings) << "the unit after the one that failed";
    EXPECT_NE(rowOf(r.out, shortName(ok1)).find("gelukt"), std::string::npos) << r.out;
    EXPECT_NE(rowOf(r.out, shortName(ok2)).find("gelukt"), std::string::npos) << r.out;
    const std::string bad = rowOf(r.out, shortName(differs));
    EXPECT_NE(bad.find("mislukt (9)"), std::string::npos) << bad;
    EXPECT_NE(bad.find("entry 37 reads back"), std::string::npos) << bad;
    EXPECT_NE(rowOf(r.out, "k2").find("mislukt (4)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n2 van 4 gelukt\n"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("[k2] korprog: COM poort niet beschikbaar: COM poort " + missing + " bestaat niet"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(report().size(), 4u);
}

// A unit pulled out in the middle of a batch: its run is told it lost the
// unit and the unit keeps its old settings; the others are done.
TEST_F(LineTest, AUnitPulledOutMidBatchFailsAloneAndKeepsItsSettings)
{
    const std::string a = startUnit(0), pulled = startUnit(1, {"--baud", "9600"}), c = startUnit(2);
    const std::string name = shortName(pulled);
    bool gone = false;
    const KorprogRun r = runKorprog(dir, {"-program", "new.adn", "-port", a, "-port", pulled, "-port", c}, 60, 0,
                                    [&](double) {
                                        if (!gone && sims[1]->log().find("stored entry 50 ") != std::string::npos) {
                                            sims[1]->stop();
                                            gone = true;
                                        }
                                    });
    ASSERT_TRUE(gone) << "the unit was never pulled: " << r.out;
    EXPECT_EQ(r.rc, 6) << r.out << r.err;
    EXPECT_EQ(held(0), newSettings);
    EXPECT_EQ(held(2), newSettings);
    EXPECT_EQ(held(1), settingsFile("oud ")) << "an unfinished upload stores nothing";
    const std::string row = rowOf(r.out, name);
    EXPECT_NE(row.find("mislukt (6)"), std::string::npos) << r.out;
    EXPECT_NE(row.find("lost during programming after entry "), std::string::npos) << row;
    EXPECT_NE(r.out.find("\n2 van 3 gelukt\n"), std::string::npos) << r.out;
}

// Each unit of a batch fetched into a file of its own, by IMEI: one file
// for all would be written by every run. A compare is summed up as a
// programming is.
TEST_F(LineTest, FetchNeedsAFilePerUnitAndCompareIsSummedUpPerPort)
{
    const std::string a = startUnit(0), b = startUnit(1, {}, newSettings);
    const KorprogRun one = runKorprog(dir, {"-fetch", "all.adn", "-port", a, "-port", b}, 20);
    EXPECT_EQ(one.rc, 3);
    EXPECT_NE(one.err.find("with several -port options the file must name {port} or {imei}"), std::string::npos)
        << one.err;
    EXPECT_EQ(sims[0]->log().find("<- download request"), std::string::npos) << "refused before any unit is asked";

    const KorprogRun each = runKorprog(dir, {"-fetch", "unit_{imei}.adn", "-port", a, "-port", b}, 20);
    ASSERT_EQ(each.rc, 0) << each.out << each.err;
    EXPECT_EQ(ksimtest::readFile(dir + "/unit_35000000000000.adn"), settingsFile("oud "));
    EXPECT_EQ(ksimtest::readFile(dir + "/unit_35000000000001.adn"), newSettings);

    const KorprogRun compared = runKorprog(dir, {"-compare", "unit_35000000000000.adn", "-port", a, "-port", b}, 20);
    EXPECT_EQ(compared.rc, 9) << compared.out << compared.err;
    EXPECT_NE(rowOf(compared.out, shortName(a)).find("gelukt"), std::string::npos) << compared.out;
    const std::string differs = rowOf(compared.out, shortName(b));
    EXPECT_NE(differs.find("mislukt (9)  "), std::string::npos) << differs;
    EXPECT_NE(differs.find("the unit's settings differ from unit_35000000000000.adn in 196 entries (1, 2, 3, 4, 5 and 191 more)"), std::string::npos)
        << differs;
    EXPECT_NE(compared.out.find("\n1 van 2 gelukt\n"), std::string::npos) << compared.out;
}

// Units behind a device server (ser2net on 127.0.0.1) beside one on a
// local port: each run on its own port, each named by its HOST:PORT.
TEST_F(LineTest, NetworkPortsAndALocalOneMakeOneLine)
{
    if (!Ser2netServer::available()) GTEST_SKIP() << "ser2net is not installed (tools/deps.sh installs it)";
    startUnit(0, {"--persist"});
    startUnit(1, {"--persist"});
    const std::string local = startUnit(2);
    Ser2netServer server;
    const std::string telnet = server.serve(sims[0]->device, true), raw = server.serve(sims[1]->device, false);
    ASSERT_TRUE(server.start());
    const KorprogRun r = runKorprog(dir, {"-program", "new.adn", "-port", telnet, "-port", raw, "-port", local}, 60);
    EXPECT_EQ(r.rc, 0) << r.out << r.err;
    for (int k = 0; k < 3; ++k) EXPECT_EQ(held(k), newSettings) << "unit " << k;
    for (const Ser2netServer::Port& p : server.ports) {
        const std::string name = "127.0.0.1:" + std::to_string(p.port);
        EXPECT_NE(r.out.find("[" + name + "] Programmeren #200 gereed."), std::string::npos) << r.out;
        EXPECT_NE(rowOf(r.out, name).find("gelukt"), std::string::npos) << r.out;
    }
    EXPECT_NE(r.out.find("\n3 van 3 gelukt\n"), std::string::npos) << r.out;
}

TEST_F(LineTest, WithJsonEveryEventNamesItsPortAndASummaryEndsTheStream)
{
    const std::string a = startUnit(0), b = startUnit(1);
    const KorprogRun r = runKorprog(dir, {"-json", "-program", "new.adn", "-port", a, "-port", b}, 60);
    ASSERT_EQ(r.rc, 0) << r.out << r.err;
    std::vector<json> events;
    for (const std::string& l : linesOf(r.out)) {
        const json j = json::parse(l, nullptr, false);
        ASSERT_TRUE(j.is_object()) << "not JSON: " << l;
        events.push_back(j);
    }
    ASSERT_FALSE(events.empty());
    std::map<std::string, std::vector<std::string>> perPort;
    for (size_t i = 0; i + 1 < events.size(); ++i) {
        ASSERT_TRUE(events[i]["port"].is_string()) << events[i];
        perPort[events[i]["port"]].push_back(events[i]["event"]);
    }
    ASSERT_EQ(perPort.size(), 2u);
    for (const std::string& p : {a, b}) {
        EXPECT_EQ(perPort[p].front(), "start");
        EXPECT_EQ(perPort[p].back(), "end");
    }
    const json& summary = events.back();
    EXPECT_EQ(summary["event"], "summary");
    EXPECT_EQ(summary["exit"], 0);
    ASSERT_EQ(summary["units"].size(), 2u);
    EXPECT_EQ(summary["units"][0]["port"], a);
    EXPECT_EQ(summary["units"][1]["imei"], "35000000000001");
    EXPECT_NE(r.err.find("2 van 2 gelukt"), std::string::npos) << "the table is for people: " << r.err;
}

TEST_F(LineTest, ASignalReachesEveryRunAndTheSummaryStillComes)
{
    const std::string a = startUnit(0, {"--baud", "9600"}), b = startUnit(1, {"--baud", "9600"});
    bool sent = false;
    const KorprogRun r = runKorprogWatched(dir, {"-program", "new.adn", "-port", a, "-port", b}, 30, 0,
                                           [&](double, pid_t line) {
                                               const std::string out = ksimtest::readFile(dir + "/out.txt");
                                               if (!sent && ksimtest::count(out, "Programmeren #20 ") == 2) {
                                                   ::kill(line, SIGTERM);
                                                   sent = true;
                                               }
                                           });
    ASSERT_TRUE(sent) << r.out;
    EXPECT_EQ(r.rc, 1) << r.out << r.err;
    EXPECT_LT(r.seconds, 8.0) << "the runs end within moments, not after the transfer";
    for (const std::string& p : {a, b}) {
        const std::string row = rowOf(r.out, shortName(p));
        EXPECT_NE(row.find("mislukt (1)"), std::string::npos) << r.out;
    }
}

// The run on a port is killed: the line tells its end and writes its record
// in its place; every unit keeps its own time.
TEST_F(LineTest, ARunKilledByASignalIsToldAndRecordedByTheLineAndEachUnitHasItsOwnTime)
{
    const std::string fast = startUnit(0), slow = startUnit(1, {"--baud", "9600"}), missing = dir + "/k2";
    bool killed = false;
    const KorprogRun r = runKorprogWatched(
        dir, {"-json", "-program", "new.adn", "-report", "units.jsonl", "-port", fast, "-port", slow, "-port", missing},
        60, 0, [&](double, pid_t) {
            if (killed || sims[1]->log().find("stored entry 30 ") == std::string::npos) return;
            // The line's run on the slow unit, by its command line.
            const std::string given = std::string("-port") + '\0' + slow + '\0';
            for (const auto& p : fs::directory_iterator("/proc")) {
                const std::string cmdline = ksimtest::readFile((p.path() / "cmdline").string());
                if (cmdline.rfind(KORPROG_PATH, 0) == 0 && cmdline.find(given) != std::string::npos &&
                    cmdline.find(std::string("-port") + '\0' + fast) == std::string::npos) {
                    ::kill(std::stoi(p.path().filename().string()), SIGKILL);
                    killed = true;
                }
            }
        });
    ASSERT_TRUE(killed) << r.out << r.err;
    EXPECT_EQ(r.rc, 1) << r.out << r.err;
    std::vector<json> ends;
    json summary;
    for (const std::string& l : linesOf(r.out)) {
        const json j = json::parse(l, nullptr, false);
        ASSERT_TRUE(j.is_object()) << l;
        if (j["event"] == "end") ends.push_back(j);
        if (j["event"] == "summary") summary = j;
    }
    ASSERT_EQ(ends.size(), 3u) << r.out;
    bool toldForSlow = false;
    for (const json& e : ends)
        if (e["port"] == slow) {
            toldForSlow = true;
            EXPECT_EQ(e["exit"], 1);
            EXPECT_EQ(e["reason"], "ended by signal 9");
        }
    EXPECT_TRUE(toldForSlow) << r.out;
    const std::vector<json> records = report();
    ASSERT_EQ(records.size(), 3u);
    for (const json& rec : records)
        if (rec["port"] == slow) {
            EXPECT_EQ(rec["reason"], "ended by signal 9");
            EXPECT_EQ(rec["mode"], "program");
            EXPECT_EQ(rec["before"]["imei"], "35000000000001");
        }
    ASSERT_EQ(summary["units"].size(), 3u) << r.out;
    const double fastS = summary["units"][0]["duration_s"], slowS = summary["units"][1]["duration_s"],
                 missingS = summary["units"][2]["duration_s"];
    EXPECT_LT(missingS, 1.0) << "a port that is not there fails at once";
    EXPECT_LT(fastS, slowS) << r.out;
    EXPECT_NE(rowOf(r.err, shortName(slow)).find("mislukt (1)"), std::string::npos) << r.err;
    EXPECT_NE(rowOf(r.err, shortName(slow)).find("ended by signal 9"), std::string::npos) << r.err;
}

TEST_F(LineTest, ASecondRunOnABusyPortEndsWithTwoAndNamesTheRunThatHasIt)
{
    const std::string link = startUnit(0, {"--baud", "9600"});
    const std::string device = fs::canonical(link).string();
    KorprogRun second{-1, "", "", 0};
    pid_t first = -1;
    runKorprogWatched(
        dir, {"-program", "new.adn", "-port", link}, 60, 0,
        [&](double, pid_t pid) {
            if (second.rc != -1 || ksimtest::readFile(dir + "/out-first.txt").find("Programmeren #20 ") == std::string::npos)
                return;
            // The same port by its device's name.
            second = runKorprog(dir, {"-program", "new.adn", "-port", device}, 20);
            first = pid;
            ::kill(pid, SIGTERM);
        },
        "-first");
    ASSERT_NE(second.rc, -1) << "the first run never reached its transfer";
    EXPECT_EQ(second.rc, 2) << second.err;
    EXPECT_NE(second.err.find("COM poort " + device + " is in gebruik door KorProg (proces " + std::to_string(first) + ")"),
              std::string::npos)
        << second.err;
}

TEST_F(LineTest, ARunOnItsOwnPortGoesBesideAnotherInstanceAndLeavesConfigIniAlone)
{
    const std::string link = startUnit(0);
    const std::string config = "settingfile=\ncomport=/dev/ttyUSB7\nkorvantype=KV8888GM-ED;Korvan 8\n";
    std::ofstream(dir + "/" + home + "config.ini") << config;
    ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    BNamedMutex window;  // the window of another instance
    ASSERT_EQ(window.create("Helm_" Sw_VERSION "_MutexId"), BNamedMutex::CREATED);
    ::unsetenv("XDG_RUNTIME_DIR");

    const KorprogRun r = runKorprog(dir, {"-program", "new.adn", "-port", link}, 30);
    EXPECT_EQ(r.rc, 0) << r.out << r.err;
    EXPECT_EQ(held(0), newSettings);
    EXPECT_EQ(ksimtest::readFile(dir + "/" + home + "config.ini"), config);
    const KorprogRun withoutPort = runKorprog(dir, {"-program", "new.adn"}, 30);
    EXPECT_EQ(withoutPort.rc, 2) << withoutPort.err;
    window.close();

    // The window takes the port for its run too, and keeps config.ini's.
    ::setenv("KORPROG_HEADLESS", "1", 1);
    const KorprogRun shown = runKorprogWatched(dir, {"-port", link}, 30, 0, [&](double, pid_t pid) {
        if (ksimtest::readFile(dir + "/out.txt").find("Verbonden") != std::string::npos) ::kill(pid, SIGTERM);
    });
    ::unsetenv("KORPROG_HEADLESS");
    EXPECT_NE(shown.out.find("Verbonden"), std::string::npos) << shown.out << shown.err;
    const std::string after = ksimtest::readFile(dir + "/" + home + "config.ini");
    EXPECT_NE(after.find("\ncomport=/dev/ttyUSB7\n"), std::string::npos) << after;
}

TEST_F(LineTest, ListPortsTellsWhatAnswersOnEachPortGiven)
{
    const std::string unit = startUnit(0), boot = startUnit(1, {"--boot"});
    KvPty silent;
    KvPty busy;
    Serial run;  // a run of ours, its port lock beside the program's
    ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    ASSERT_TRUE(run.openPort(busy.name.c_str()));
    ::unsetenv("XDG_RUNTIME_DIR");
    const std::string gone = dir + "/gone";
    ::setenv("KORPROG_PORTS", (unit + " " + boot + "\n" + silent.name + " " + busy.name + " " + gone).c_str(), 1);
    const KorprogRun r = runKorprog(dir, {"-list-ports"}, 20);
    ::unsetenv("KORPROG_PORTS");
    EXPECT_EQ(r.rc, 0) << r.err;
    const std::vector<std::string> lines = linesOf(r.out);
    ASSERT_EQ(lines.size(), 5u) << r.out;
    EXPECT_EQ(lines[0], fs::canonical(unit).string() + "  " + unit + "  Korvan KV8888GM-ED, software KV-4.12, IMEI 35000000000000");
    EXPECT_EQ(lines[1], fs::canonical(boot).string() + "  " + boot + "  Korvan in de bootloader");
    EXPECT_EQ(lines[2], silent.name + "  geen Korvan");
    EXPECT_EQ(lines[3], busy.name + "  in gebruik door KorProg (proces " + std::to_string(::getpid()) + ")");
    EXPECT_EQ(lines[4], gone + "  bestaat niet");
}

} // namespace

#endif
