// The runs that only read settings, end to end: -fetch and -compare against
// the built unit simulator, and -compare -with of two files.

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
#include "support/KorprogDirTest.h"
#include "support/KorprogProcess.h"
#include "support/KvSettingsFile.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

using ksimtest::count;

// entry k of a settings file replaced by `line`.
std::string withLine(std::string file, int k, const std::string& line)
{
    size_t at = 0;
    for (int n = 1; n < k; ++n) at = file.find('\n', at) + 1;
    return file.replace(at, file.find('\n', at) - at, line);
}

std::vector<json> events(const std::string& out)
{
    std::vector<json> found;
    for (const std::string& l : korprogtest::linesOf(out)) found.push_back(json::parse(l));
    return found;
}

class SettingsRun : public KorprogDirTest {
protected:
    SettingsRun() : KorprogDirTest("korprog-settings") {}
    void TearDown() override { sim.stop(); }

    // The unit holding `held` (in the simulator's own form), behind a link
    // the simulator removes when it ends.
    void startSim(const std::string& held, std::vector<std::string> args = {})
    {
        const std::string link = sim.path("korvan0");
        args.insert(args.end(), {"--adn", sim.path("unit.adn"), "--link", link});
        std::ofstream(sim.path("unit.adn")) << held;
        ASSERT_TRUE(sim.start(args));
        fs::create_directories(user);
        std::ofstream(user / "config.ini") << "comport=" << link << "\n";
    }
    KorprogRun korprog(const std::vector<std::string>& args,
                       const std::function<void(double, pid_t)>& during = {})
    {
        return runKorprog(KorprogStart(dir.string()), args, 20, during);
    }
    // What reached the unit: only status requests, the request for its
    // settings and the acknowledgements of its entries.
    void expectOnlyAsked() const
    {
        const std::string log = sim.log();
        const int asked = count(log, "<- status request") + count(log, "<- download request") + count(log, "<- ACK\n");
        EXPECT_EQ(count(log, "<- "), asked) << log;
        EXPECT_GT(count(log, "<- download request"), 0);
    }

    SimProcess sim;
};

// What the unit holds lands in the file as "Opslaan" writes it: a '/' the
// unit holds as '\', the unit's own IMEI and IMSI numbers not carried.
TEST_F(SettingsRun, FetchWritesWhatTheUnitHoldsIntoTheFileItsImeiNames)
{
    std::string held = withLine(settingsFile("oud "), 7, "Kelder\\kast|5550007");
    held = withLine(held, 115, "IMEI|351234567890123");
    startSim(withLine(held, 116, "IMSI|204081234567890"));
    const KorprogRun r = korprog({"-fetch", "unit_{imei}.adn", "-json", "-report", "units.jsonl"});
    ASSERT_EQ(r.rc, 0) << r.err;
    const std::string file = (dir / "unit_351234567890123.adn").string();
    EXPECT_EQ(read(file), withLine(withLine(held, 115, "IMEI|"), 116, "IMSI|"));
    expectOnlyAsked();

    const std::vector<json> told = events(r.out);
    const json end = told.back();
    EXPECT_EQ(end["event"], "end");
    ASSERT_GE(told.size(), 3u);
    EXPECT_EQ(told[told.size() - 2]["event"], "progress");
    EXPECT_EQ(told[told.size() - 2]["done"], 200);
    EXPECT_EQ(end["file"], file);
    const json record = json::parse(read("units.jsonl"));
    EXPECT_EQ(record["mode"], "fetch");
    EXPECT_EQ(record["settings_file"], file);
    std::string digest, why;
    ASSERT_TRUE(Sha256::ofFile(file, &digest, &why)) << why;
    EXPECT_EQ(record["settings_sha256"], digest);
}

// A fetch cut short in the middle (here by SIGTERM: a unit pulled out is
// waited for as long as a silent one) writes nothing: the file it would
// have replaced stays as it was, and nothing half written is left beside it.
TEST_F(SettingsRun, FetchCutShortLeavesTheFileAsItWasAndEndsWithTheCodeOfWhatCutIt)
{
    startSim(settingsFile("oud "), {"--baud", "9600"});
    write("unit.adn", "earlier|1\n");
    bool cut = false;
    const KorprogRun r = korprog({"-fetch", "unit.adn"}, [&](double, pid_t pid) {
        if (cut || count(sim.log(), "-> entry ") < 20) return;
        cut = true;
        ::kill(pid, SIGTERM);
    });
    ASSERT_TRUE(cut) << r.err;
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "korprog: ended by SIGTERM before the run was complete\n");
    EXPECT_LT(count(sim.log(), "-> entry "), 200);
    EXPECT_EQ(read("unit.adn"), "earlier|1\n");
    for (const std::string& name : names("."))
        EXPECT_EQ(name.find("unit.adn."), std::string::npos) << name << " is left of the write";
}

// The file compared by the read-back's rule: a '\' in the file is the '/'
// the unit holds. Two changed entries are named with their fields and both
// values; nothing is sent to the unit either way.
TEST_F(SettingsRun, CompareEndsZeroWhenTheUnitHoldsTheFileAndNineNamingEachDifference)
{
    const std::string held = withLine(settingsFile("oud "), 7, "Kelder\\kast|5550007");
    startSim(held);
    write("same.adn", held);
    const KorprogRun same = korprog({"-compare", "same.adn"});
    EXPECT_EQ(same.rc, 0) << same.err;
    EXPECT_NE(same.out.find("korprog: done: KV8888GM-ED (IMEI 351234567890123) holds the settings of same.adn"),
              std::string::npos)
        << same.out;

    write("changed.adn", withLine(withLine(held, 12, "Piet|5550012"), 37, "oud 37|5550099"));
    const KorprogRun changed = korprog({"-compare", "changed.adn", "-json", "-q"});
    EXPECT_EQ(changed.rc, 9);
    EXPECT_EQ(changed.err,
              "entry 12 (Naam 1): the unit holds 'oud 12', the file 'Piet'\n"
              "entry 37 number: the unit holds '5550037', the file '5550099'\n"
              "korprog: the unit's settings differ from changed.adn in 2 entries (12, 37)\n");
    json verify;
    for (const json& e : events(changed.out))
        if (e["event"] == "verify") verify = e;
    EXPECT_EQ(verify["ok"], false);
    EXPECT_EQ(verify["differences"], json::parse(R"([
        {"entry":12,"part":"text","name":"Naam 1","unit":"oud 12","file":"Piet"},
        {"entry":37,"part":"number","name":null,"unit":"5550037","file":"5550099"}])"));

    expectOnlyAsked();

    // A file -program would refuse is refused before the unit is asked for
    // its settings: one it cannot read, one with a text too long for the
    // unit's field.
    const int asked = count(sim.log(), "<- download request");
    write("quote.adn", withLine(held, 3, "a\"b|1"));
    write("long.adn", withLine(held, 3, "thirteen char|1"));
    const std::pair<const char*, const char*> refusals[] = {
        {"quote.adn", "line 3 holds a '\"'"},
        {"long.adn", "texts too long for the unit: entry 3 (Algemeen, PIN-code SIM) has 13 characters, at most 12; "
                     "nothing was compared\n"}};
    for (const auto& [file, why] : refusals) {
        const KorprogRun refused = korprog({"-compare", file});
        EXPECT_EQ(refused.rc, 3) << file;
        EXPECT_EQ(korprogtest::linesOf(refused.err).size(), 1u) << refused.err;
        EXPECT_NE(refused.err.find(why), std::string::npos) << refused.err;
    }
    EXPECT_EQ(count(sim.log(), "<- download request"), asked) << sim.log();
    EXPECT_EQ(read(sim.path("unit.adn")), held);
}

// Two files, no unit and no port: the same rule and the same lines.
TEST_F(SettingsRun, CompareWithAnotherFileNeedsNoUnit)
{
    const std::string base = settingsFile("oud ");
    write("a.adn", base);
    write("b.adn", base.substr(0, base.size() - 1));  // without its last line end
    write("c.adn", withLine(base, 2, "oud 2|1"));
    const KorprogRun same = korprog({"-compare", "a.adn", "-with", "b.adn", "-port", "/dev/null/none"});
    EXPECT_EQ(same.rc, 0) << same.err;
    EXPECT_NE(same.out.find("korprog: done: a.adn and b.adn hold the same settings"), std::string::npos) << same.out;

    const KorprogRun differ = korprog({"-compare", "a.adn", "-with", "c.adn", "-q"});
    EXPECT_EQ(differ.rc, 9);
    EXPECT_EQ(differ.out, "entry 2 number: c.adn holds '1', a.adn '5550002'\n");
    EXPECT_EQ(differ.err, "korprog: a.adn and c.adn differ in 1 entry (2)\n");

    const KorprogRun missing = korprog({"-compare", "a.adn", "-with", "none.adn"});
    EXPECT_EQ(missing.rc, 3);
    EXPECT_NE(missing.err.find("none.adn: no such settings file"), std::string::npos) << missing.err;
}

}  // namespace

#endif
