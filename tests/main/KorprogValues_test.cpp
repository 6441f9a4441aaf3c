// A batch with values of its own for every unit (-program BASE -values
// UNITS.csv), end to end: the built program against simulated units, the
// rows taken as UNITS.csv.used and the report tell.

#if defined(KORPROG_PATH) && defined(KORVANSIM_PATH)

#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "korprog/progctrl/Run/KvctrlValuesLedger.h"
#include "korvansim/SimProcess.h"
#include "support/KorprogDirTest.h"
#include "support/KorprogProcess.h"
#include "support/KvSettingsFile.h"

using nlohmann::json;

namespace {

// The base settings with entry k's line replaced.
std::string with(std::string settings, int k, const std::string& line)
{
    std::vector<std::string> lines = korprogtest::linesOf(settings);
    lines.at(size_t(k - 1)) = line;
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

class Values : public KorprogDirTest {
protected:
    Values() : KorprogDirTest("korprog-values") {}
    void SetUp() override
    {
        KorprogDirTest::SetUp();
        write("base.adn", base);
    }
    // Unit k, holding old settings, on the link dir/kN.
    std::string startUnit(int k, const std::string& imei, std::vector<std::string> options = {})
    {
        sims.emplace_back(new SimProcess());
        SimProcess& sim = *sims.back();
        const std::string link = (dir / ("k" + std::to_string(k))).string();
        write(sim.path("unit.adn"), old);
        options.insert(options.end(), {"--link", link, "--adn", sim.path("unit.adn"), "--imei", imei});
        EXPECT_TRUE(sim.start(options));
        return link;
    }
    std::string held(int k) const { return read(sims.at(size_t(k))->path("unit.adn")); }
    KorprogRun korprog(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"-program", "base.adn", "-values", "units.csv"});
        return runKorprog(dir.string(), args, 30);
    }
    std::vector<std::string> used() const { return korprogtest::linesOf(read("units.csv.used")); }

    const std::string base = settingsFile("Basis "), old = settingsFile("oud ");
    std::vector<std::unique_ptr<SimProcess>> sims;
};

TEST_F(Values, EachUnitOnTwoPortsAtOnceGetsTheRowOfItsImeiAndAUnitWithoutOneIsRefused)
{
    // Columns by number and by the editor's label ("Naam 1" is entry 12's text).
    write("units.csv", "imei,37.text,Naam 1,12.number\r\n"
                       "350000000000011,\"Kelder, oost\",Jan,0612345678\r\n"
                       "350000000000077,Nergens,Piet,0600000000\r\n"
                       "350000000000010,Zolder,Marie,0687654321\r\n");
    const std::string k0 = startUnit(0, "350000000000010"), k1 = startUnit(1, "350000000000011"),
                      k2 = startUnit(2, "350000000000099");
    const KorprogRun r = korprog({"-report", "r.jsonl", "-port", k0, "-port", k1, "-port", k2});
    EXPECT_EQ(r.rc, 3) << r.out << r.err;

    EXPECT_EQ(held(0), with(with(base, 12, "Marie|0687654321"), 37, "Zolder|5550037"));
    EXPECT_EQ(held(1), with(with(base, 12, "Jan|0612345678"), 37, "Kelder, oost|5550037"));
    EXPECT_EQ(held(2), old) << "nothing is sent to a unit without a row";
    EXPECT_NE(r.err.find("units.csv: no row for IMEI 350000000000099; nothing was programmed"), std::string::npos)
        << r.err;

    std::set<std::string> rows;
    for (const std::string& l : used()) rows.insert(l.substr(0, l.rfind(',')));
    EXPECT_EQ(rows, (std::set<std::string>{"3,350000000000010," + k0, "1,350000000000011," + k1})) << read("units.csv.used");

    std::set<std::string> recorded;
    for (const std::string& l : korprogtest::linesOf(read("r.jsonl"))) {
        const json rec = json::parse(l);
        const std::string row = rec["values_row"].is_null() ? "null" : std::to_string(rec["values_row"].get<int>());
        recorded.insert(rec["port"].get<std::string>() + " " + row + " " + rec["result"].get<std::string>());
        EXPECT_EQ(rec["values_file"], (dir / "units.csv").string());
    }
    EXPECT_EQ(recorded, (std::set<std::string>{k0 + " 3 ok", k1 + " 1 ok", k2 + " null failed"}));
}

// One run after the other on a table without IMEIs: a unit that fails
// leaves its row to the next, a row another run is programming is passed
// over, and once every row is used a unit is refused before anything is sent.
TEST_F(Values, RowsGoInOrderAFailedUnitsRowToTheNextAndNoneLeftIsRefused)
{
    write("units.csv", "37.text,38.number\nEerste,111\n,\nTweede,222\n");
    const std::string differs = startUnit(0, "350000000000020", {"--store-differs", "37"});
    const std::string good = startUnit(1, "350000000000021", {"--persist"});
    const std::string last = startUnit(2, "350000000000022");

    KorprogRun r = korprog({"-port", differs});
    ASSERT_EQ(r.rc, 9) << r.err;
    EXPECT_TRUE(used().empty()) << read("units.csv.used");

    {
        // Another run is programming row 1.
        KvctrlValuesLedger other((dir / "units.csv").string());
        std::string why;
        ASSERT_TRUE(other.open(&why)) << why;
        ASSERT_TRUE(other.take(1));
        r = korprog({"-port", good});
        ASSERT_EQ(r.rc, 0) << r.err;
        EXPECT_EQ(held(1), with(with(base, 37, "Tweede|5550037"), 38, "Basis 38|222"));
        EXPECT_NE(r.out.find("base.adn with row 3 of " + (dir / "units.csv").string() + " programmed into"),
                  std::string::npos)
            << r.out;
    }
    r = korprog({"-port", good});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(held(1), with(with(base, 37, "Eerste|5550037"), 38, "Basis 38|111")) << "the failed unit's row";
    ASSERT_EQ(used().size(), 2u);
    EXPECT_EQ(used()[0].rfind("3,350000000000021," + good + ",", 0), 0u) << used()[0];
    EXPECT_EQ(used()[1].rfind("1,350000000000021," + good + ",", 0), 0u) << used()[1];

    r = korprog({"-port", last});
    EXPECT_EQ(r.rc, 3) << r.err;
    EXPECT_NE(r.err.find("units.csv: no free row left"), std::string::npos) << r.err;
    EXPECT_EQ(held(2), old);
    EXPECT_EQ(used().size(), 2u);
}

}  // namespace

#endif
