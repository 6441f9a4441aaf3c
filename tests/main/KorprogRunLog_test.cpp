// What a script sees of an unattended run: its exit code, its -json events
// and its -report record, read back with a JSON parser of their own, from
// the built program against the built simulator.

#if defined(KORPROG_PATH) && defined(KORVANSIM_PATH)

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "korprog/runlog/Sha256.h"
#include "korvansim/SimProcess.h"
#include "support/KorprogProcess.h"
#include "support/KorprogUserTest.h"
#include "support/KvPty.h"
#include "support/KvSettingsFile.h"
#include "support/KvTestPack.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// Every line of standard output as JSON, each with its event and time; a
// line that is anything else fails the test.
std::vector<json> eventsOf(const std::string& out)
{
    std::vector<json> events;
    size_t at = 0;
    for (size_t nl; (nl = out.find('\n', at)) != std::string::npos; at = nl + 1) {
        const json j = json::parse(out.substr(at, nl - at), nullptr, false);
        if (j.is_discarded() || !j.is_object() || !j.contains("event") || !j["time"].is_string()) {
            ADD_FAILURE() << "not an event: " << out.substr(at, nl - at);
            continue;
        }
        events.push_back(j);
    }
    EXPECT_EQ(at, out.size()) << "standard output ends mid-line: " << out;
    return events;
}

std::vector<json> named(const std::vector<json>& events, const char* name)
{
    std::vector<json> r;
    for (const json& e : events)
        if (e["event"] == name) r.push_back(e);
    return r;
}

// A run's events start with its start line and end with its one end line,
// which carries the exit code the run ended with.
void expectFramed(const std::vector<json>& events, const char* mode, int rc, const json& kind)
{
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events.front()["event"], "start");
    EXPECT_EQ(events.front()["mode"], mode);
    EXPECT_TRUE(events.front()["inputs"].is_array());
    const json& end = events.back();
    EXPECT_EQ(end["event"], "end");
    EXPECT_EQ(named(events, "end").size(), 1u);
    EXPECT_EQ(end["exit"], rc);
    EXPECT_EQ(end["result"], rc == 0 ? "ok" : "failed");
    EXPECT_EQ(end["kind"], kind);
    EXPECT_EQ(end["reason"].is_string(), rc != 0);
    EXPECT_TRUE(end["duration_s"].is_number());
}

class RunLogTest : public KorprogUserTest {
protected:
    RunLogTest() : KorprogUserTest("korprog-runlog") {}
    void startSim(std::vector<std::string> args)
    {
        sim.stop();
        args.insert(args.end(), {"--adn", sim.path("unit.adn"), "--image", sim.path("image.bin")});
        std::ofstream(sim.path("unit.adn")) << settingsFile("oud ");
        ASSERT_TRUE(sim.start(args));
        port(sim.device);
    }
    std::string pack(const std::string& type = "KV8888GM-ED")
    {
        KvTestPack p;
        p.type = type;
        p.data = image;
        return p.write(packs, type == "KV8888GM-ED" ? "KV-run" : "KV-other");
    }
    std::vector<std::string> upgrade(const std::string& packName) const
    {
        return {"-json", "-upgrade", "-revpack", packName, "-binfile", "app.bin"};
    }

    const std::string image = KvTestPack::image(3000, "KV-4.61");
    SimProcess sim;
};

TEST_F(RunLogTest, EachWayARunEndsHasItsExitCodeAndItsEndLine)
{
    KvPty silent;
    struct Case {
        const char* what;
        std::function<std::vector<std::string>()> setUp;  // the command line
        int rc;
        json kind;
        const char* mode;
    } cases[] = {
        {"done", [&] { startSim({}); return std::vector<std::string>{"-json", "-program", "new.adn"}; }, 0, nullptr,
         "program"},
        {"a file that is no settings file",
         [&] { startSim({}); return std::vector<std::string>{"-json", "-program", "missing.adn"}; }, 3, "bad_input",
         "program"},
        {"an option without its value", [&] { return std::vector<std::string>{"-json", "-program"}; }, 3,
         "bad_input", "program"},
        {"no such port",
         [&] { port(dir + "/no-such-tty"); return std::vector<std::string>{"-json", "-program", "new.adn"}; }, 4,
         "port", "program"},
        {"nobody answers",
         [&] { port(silent.name); return std::vector<std::string>{"-json", "-program", "new.adn"}; }, 5, "no_unit",
         "program"},
        {"the unit restarts during the image", [&] { startSim({"--reset-after", "4"}); return upgrade(pack()); }, 6,
         "unit_lost", "upgrade"},
        {"the unit waits in its boot loader",
         [&] { startSim({"--boot"}); return std::vector<std::string>{"-json", "-program", "new.adn"}; }, 7,
         "refused", "program"},
        {"an image for another type", [&] { startSim({}); return upgrade(pack("KV1111PM-ED")); }, 8, "not_allowed",
         "upgrade"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const KorprogRun r = runKorprog(dir, c.setUp(), 20);
        EXPECT_EQ(r.rc, c.rc) << r.err;
        const std::vector<json> events = eventsOf(r.out);
        expectFramed(events, c.mode, c.rc, c.kind);
        if (c.rc != 0) {
            EXPECT_NE(r.err.find("korprog: " + events.back()["reason"].get<std::string>()), std::string::npos)
                << r.err;
            continue;
        }
        // The unit as it reported itself, and the entries as they went.
        const std::vector<json> units = named(events, "unit");
        ASSERT_EQ(units.size(), 1u) << r.out;
        EXPECT_EQ(units[0]["type"], "KV8888GM-ED");
        EXPECT_EQ(units[0]["imei"], "351234567890123");
        const std::vector<json> progress = named(events, "progress");
        ASSERT_FALSE(progress.empty());
        EXPECT_LE(progress.size(), 12u) << "paced";
        EXPECT_EQ(progress.back()["what"], "entries");
        EXPECT_EQ(progress.back()["done"], 200);
        EXPECT_EQ(progress.back()["total"], 200);
        EXPECT_EQ(events.front()["port"], sim.device);
        EXPECT_NE(r.err.find("Programmeren #200 gereed.\n"), std::string::npos) << "status lines go to stderr";
        const std::vector<json> verify = named(events, "verify");
        ASSERT_EQ(verify.size(), 1u) << r.out;
        EXPECT_EQ(verify[0]["ok"], true);
    }

    // Another instance holds the program: refused before the command line
    // is acted on, and told all the same.
    BNamedMutex other;
    ASSERT_EQ(korprogtest::askProgramLock(other, dir), BNamedMutex::CREATED);
    const KorprogRun busy = runKorprog(dir, {"-json", "-program", "new.adn"}, 20);
    EXPECT_EQ(busy.rc, 2);
    expectFramed(eventsOf(busy.out), "program", 2, "busy");
    EXPECT_EQ(runKorprog(dir, {}, 20).rc, 2) << "the window's start as well";
}

// Two runs append two records; an upgrade's names its pack and image by
// their digests and the unit before and after.
TEST_F(RunLogTest, EachRunAppendsItsRecordAndAnUpgradeTellsItsBytes)
{
    startSim({});
    const std::string packName = pack();
    std::vector<std::string> args = upgrade(packName);
    args.insert(args.end(), {"-report", "runs.jsonl"});
    const KorprogRun up = runKorprog(dir, args, 20);
    ASSERT_EQ(up.rc, 0) << up.err;
    const std::vector<json> events = eventsOf(up.out);
    expectFramed(events, "upgrade", 0, nullptr);
    const std::vector<json> progress = named(events, "progress");
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back()["what"], "bytes");
    EXPECT_EQ(progress.back()["done"], progress.back()["total"]);
    EXPECT_NE(up.err.find("Upgrading 100% ready"), std::string::npos) << up.err;
    const std::vector<json> backups = named(events, "backup");
    ASSERT_EQ(backups.size(), 1u) << up.out;
    const std::string backupFile = backups[0]["file"];
    EXPECT_TRUE(fs::is_regular_file(backupFile)) << backupFile;

    const KorprogRun prog = runKorprog(dir, {"-program", "new.adn", "-report", "runs.jsonl"}, 20);
    ASSERT_EQ(prog.rc, 0) << prog.err;
    EXPECT_NE(prog.out.find("Programmeren #200 gereed.\n"), std::string::npos) << "no -json: status on stdout";

    std::ifstream in(dir + "/runs.jsonl");
    std::vector<json> records;
    for (std::string line; std::getline(in, line);) records.push_back(json::parse(line));
    ASSERT_EQ(records.size(), 2u);
    const json& u = records[0];
    EXPECT_EQ(u["mode"], "upgrade");
    EXPECT_EQ(u["port"], sim.device);
    const std::string packFile = packs + "/" + packName + ".rpa";
    std::string digest, why;
    ASSERT_TRUE(Sha256::ofFile(packFile, &digest, &why));
    EXPECT_EQ(u["pack"], packFile);
    EXPECT_EQ(u["pack_sha256"], digest);
    EXPECT_EQ(u["image"], "app.bin");
    EXPECT_EQ(u["image_sha256"], Sha256::ofBytes(image.data(), image.size()));
    EXPECT_EQ(u["before"]["software"], "KV-4.12");
    // The last the unit told of itself (its version once it runs the image
    // again, when the run waits for that).
    EXPECT_EQ(u["after"]["type"], "KV8888GM-ED");
    EXPECT_EQ(u["after"]["software"], "KV-4.61") << "the version the unit reports once it runs the image";
    EXPECT_EQ(u["backup"], backupFile);
    EXPECT_EQ(u["exit"], 0);
    EXPECT_EQ(u["result"], "ok");
    const json& p = records[1];
    EXPECT_EQ(p["mode"], "program");
    EXPECT_EQ(p["settings_file"], dir + "/new.adn");
    EXPECT_EQ(p["settings_sha256"], Sha256::ofBytes(newSettings.data(), newSettings.size()));
    EXPECT_EQ(p["verify"]["ok"], true);
    EXPECT_LE(u["started"].get<std::string>(), p["started"].get<std::string>());
}

// A run cut short by a signal, and one whose record cannot be written after
// the unit's work was done, still end with their end line.
TEST_F(RunLogTest, ASignalOrAnUnwritableReportEndsTheRunWithItsEndLine)
{
    startSim({"--baud", "9600"});
    bool signalled = false;
    const KorprogRun cut =
        runKorprog(dir, upgrade(pack()), 20, [&](double, pid_t pid) {
            if (!signalled && ksimtest::readFile(dir + "/out.txt").find("\"progress\"") != std::string::npos) {
                signalled = true;
                ::kill(pid, SIGTERM);
            }
        });
    EXPECT_TRUE(signalled);
    EXPECT_EQ(cut.rc, 1) << cut.err;
    const std::vector<json> events = eventsOf(cut.out);
    expectFramed(events, "upgrade", 1, "other");
    EXPECT_NE(events.back()["reason"].get<std::string>().find("SIGTERM"), std::string::npos);

    // Where the record should go is a file, not a directory: found before
    // the unit is asked anything, not after its work (a record that does not
    // fit the disk at the end is the InputsTest's).
    startSim({});
    write("blocker", "");
    const KorprogRun r = runKorprog(dir, {"-json", "-program", "new.adn", "-report", "blocker/runs.jsonl"}, 20);
    EXPECT_EQ(r.rc, 3);
    EXPECT_EQ(ksimtest::readFile(sim.path("unit.adn")), settingsFile("oud ")) << "refused before the unit's work";
    EXPECT_NE(r.err.find("korprog: cannot write the report " + dir + "/blocker/runs.jsonl: Not a directory\n"),
              std::string::npos)
        << r.err;
    expectFramed(eventsOf(r.out), "program", 3, "bad_input");
}

}  // namespace

#endif
