// Where the setting bin limits what is programmed: text lengths by network
// type and the parts a unit of old hardware takes.

#include <string>

#include "DataTest.h"
#include "korprog/progctrl/Data/SettingBin.h"

namespace {

class SettingBinLimitsTest : public DataTest {
protected:
    int fieldSize(int k) { return bin.textFieldSize(static_cast<uint8_t>(k), SBEntry::INVALID_TYPE); }
    SettingBin bin{nullptr};
};

TEST_F(SettingBinLimitsTest, GprsTextLengthsPerEntry)
{
    bin.setEntry(SettingBin::KORTYPE_POS, "KV4400WS-BX", nullptr, false, SBEntry::INVALID_TYPE);
    const std::pair<int, int> sizes[] = {{1, 12}, {2, 50}, {3, 12}, {4, 24}, {5, 12}, {6, 24},
                                         {7, 12}, {8, 24}, {9, 12}, {60, 24}, {61, 12}, {80, 12}};
    for (const auto& s : sizes) EXPECT_EQ(s.second, fieldSize(s.first)) << "entry " << s.first;
}

// Hardware G and older takes the number of entry 2 (on a 'W' unit) and of
// entry 80 only while programming and only when it is empty; H and newer
// take both always, as does every unit the settings did not come from.
TEST_F(SettingBinLimitsTest, HardwareGAndOlderTakesEntries2And80OnlyWhenEmpty)
{
    for (const char* hw : {"G.48", "A.48", "H.49"}) {
        const bool old = hw[0] <= 'G';
        bin.storeStatusInfo("KV8888WM-ED", "KV-4.12", "", hw, "");
        bin.editFromDownload(true);
        bin.doProgramming(false);
        EXPECT_EQ(!old, bin.entrySupported(2, 'N')) << hw;
        EXPECT_EQ(!old, bin.entrySupported(80, 'N')) << hw;
        EXPECT_TRUE(bin.entrySupported(2, 'T')) << hw;
        EXPECT_TRUE(bin.entrySupported(3, 'N')) << hw;
        bin.doProgramming(true);
        EXPECT_TRUE(bin.entrySupported(2, 'N')) << hw;
        EXPECT_TRUE(bin.entrySupported(80, 'N')) << hw;
        bin.setEntry(2, nullptr, "1", true, SBEntry::INVALID_TYPE);
        bin.setEntry(80, nullptr, "1", true, SBEntry::INVALID_TYPE);
        EXPECT_EQ(!old, bin.entrySupported(2, 'N')) << hw;
        EXPECT_EQ(!old, bin.entrySupported(80, 'N')) << hw;
        bin.editFromDownload(false);
        EXPECT_TRUE(bin.entrySupported(80, 'N')) << hw;
        bin.cleanUpEntries(true);
    }
}

}  // namespace
