// The delivered editor layout (data/config.csv) read with the program's own
// row parser against every unit type of the delivered data/config.ini.

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "DataTest.h"
#include "korprog/progctrl/Data/ConfigInit.h"
#include "korprog/progctrl/Data/SBEntry.h"
#include "korprog/progctrl/Data/SettingBin.h"

namespace {

// A tab sheet is 340 pixels less the 25-pixel tab row; its rows are 21
// pixels high from 15 pixels below its top.
const int ROWS_PER_COLUMN = (340 - 25 - 15) / 21;
const size_t MAX_LINE = 511;  // the editor reads no more of a line
const int FIRST_SELECTOR = 7; // column of the variant selectors

std::vector<std::string> split(const std::string& s, char sep)
{
    std::vector<std::string> parts(1);
    for (char c : s) {
        if (c == sep) parts.emplace_back();
        else parts.back() += c;
    }
    return parts;
}

std::vector<std::string> readLines(const std::string& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool isInput(const SBEntry& e)
{
    return e.entryType() == SBEntry::ASCII_INPUT_TYPE || e.entryType() == SBEntry::TEL_INPUT_TYPE ||
           e.entryType() == SBEntry::NUM_INPUT_TYPE;
}

class ConfigCsvTest : public DataTest {
protected:
    void SetUp() override
    {
        DataTest::SetUp();
        const char* data = std::getenv("KORPROG_TEST_DATA");
        ASSERT_NE(data, nullptr) << "KORPROG_TEST_DATA names the data directory; ctest sets it";
        rows = readLines(std::string(data) + "/config.csv");
        ASSERT_GT(rows.size(), 100u);
        for (const std::string& line : readLines(std::string(data) + "/config.ini")) {
            if (line.rfind("korvantype=", 0) == 0) types.push_back(split(line.substr(11), ';')[0]);
        }
        ASSERT_FALSE(types.empty());
    }

    // The rows the editor shows for a unit of this type, in file order.
    std::vector<std::unique_ptr<SBEntry>> shownFor(const std::string& type)
    {
        bin.setEntry(SettingBin::KORTYPE_POS, type.c_str(), nullptr, false, SBEntry::INVALID_TYPE);
        bin.setEntry(SettingBin::KORSPECIAL_POS, "     ", nullptr, false, SBEntry::INVALID_TYPE);
        std::vector<std::unique_ptr<SBEntry>> shown;
        for (const std::string& row : rows) {
            std::unique_ptr<SBEntry> e(new SBEntry(row.c_str(), &bin));
            if (e->entryType() != SBEntry::INVALID_TYPE) shown.push_back(std::move(e));
        }
        return shown;
    }

    std::vector<std::string> rows, types;
    SettingBin bin{nullptr};
};

}  // namespace

TEST_F(ConfigCsvTest, TypesAreCodesOfTheFamily)
{
    EXPECT_LE(types.size(), static_cast<size_t>(ConfigInit::MAX_NR_KORTYPES));
    for (const std::string& t : types) {
        ASSERT_EQ(t.size(), 11u) << t;
        EXPECT_EQ(t.substr(0, 2), "KV") << t;
        for (int pos = 2; pos <= 5; ++pos) EXPECT_TRUE(t[pos] >= '0' && t[pos] <= '9') << t;
        EXPECT_NE(std::strchr("GINWP", t[6]), nullptr) << t;
        EXPECT_NE(std::strchr("ABE", t[9]), nullptr) << t;
    }
}

// A row that is silently skipped for any reason but its selectors is a fault
// nobody would see in the editor.
TEST_F(ConfigCsvTest, EveryRowParsesAndIsShownForSomeType)
{
    std::set<size_t> shownRows;
    for (const std::string& type : types) {
        bin.setEntry(SettingBin::KORTYPE_POS, type.c_str(), nullptr, false, SBEntry::INVALID_TYPE);
        for (size_t i = 0; i < rows.size(); ++i) {
            if (SBEntry(rows[i].c_str(), &bin).entryType() != SBEntry::INVALID_TYPE) shownRows.insert(i);
        }
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::string& row = rows[i];
        EXPECT_LE(row.size(), MAX_LINE) << row;
        std::vector<std::string> cols = split(row, ';');
        if (std::atoi(cols[0].c_str()) == 0) continue;  // heading or comment
        EXPECT_TRUE(shownRows.count(i)) << "shown for no type: " << row;

        cols.resize(FIRST_SELECTOR);
        std::string unselected;
        for (const std::string& c : cols) unselected += c + ";";
        EXPECT_NE(SBEntry(unselected.c_str(), &bin).entryType(), SBEntry::INVALID_TYPE) << row;
        if (cols[4].rfind("sel:", 0) == 0) {
            const std::vector<std::string> items = split(cols[4].substr(4), '|');
            EXPECT_LE(items.size(), static_cast<size_t>(SBEntry::MAX_MENU_ITEMS)) << row;
            for (const std::string& item : items) EXPECT_LT(item.size(), static_cast<size_t>(SBEntry::MENU_ITEM_LEN)) << row;
        }
    }
}

TEST_F(ConfigCsvTest, EachTypeGetsWholeTabsThatFitAndEditsEachPartOnce)
{
    const int pairs[][2] = {{4, 5}, {6, 7}, {8, 9}, {60, 70}};
    for (const std::string& type : types) {
        SCOPED_TRACE(type);
        const std::vector<std::unique_ptr<SBEntry>> shown = shownFor(type);
        std::set<std::pair<int, char>> parts;
        std::set<std::string> closedTabs;
        std::string tab;
        std::map<char, int> used;
        std::vector<const SBEntry*> inputs;
        for (const std::unique_ptr<SBEntry>& e : shown) {
            EXPECT_TRUE(parts.insert({e->entry(), e->list()}).second) << "edited twice: " << e->name();
            EXPECT_FALSE(e->entry() == SettingBin::KORTYPE_POS || e->entry() == SettingBin::KORSPECIAL_POS) << e->name();
            if (tab != e->tabName()) {
                closedTabs.insert(tab);
                tab = e->tabName();
                EXPECT_FALSE(closedTabs.count(tab)) << "tab opened twice: " << tab;
                used.clear();
            }
            EXPECT_LE(++used[e->list()], ROWS_PER_COLUMN) << tab << " falls off at " << e->name();
            if (isInput(*e)) inputs.push_back(e.get());
        }

        // The editor pairs an input with the next one created: each GPRS pair
        // must be two neighbours, and its hidden second needs a successor too.
        const bool gprs = std::strchr("INW", type[6]) != nullptr;
        for (const auto& pair : pairs) {
            size_t at = inputs.size();
            for (size_t i = 0; i < inputs.size(); ++i) {
                if (inputs[i]->entry() == pair[0] && inputs[i]->list() == 'T') at = i;
                const bool pairPart = inputs[i]->list() == 'T' &&
                                      (inputs[i]->entry() == pair[0] || inputs[i]->entry() == pair[1]);
                if (!gprs) {
                    EXPECT_FALSE(pairPart) << inputs[i]->name();
                }
            }
            if (!gprs) continue;
            ASSERT_LT(at + 2, inputs.size()) << pair[0];
            EXPECT_TRUE(inputs[at + 1]->entry() == pair[1] && inputs[at + 1]->list() == 'T')
                << "pair " << pair[0] << " is followed by " << inputs[at + 1]->name();
        }
    }
}
