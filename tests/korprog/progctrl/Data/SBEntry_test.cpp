#include "korprog/progctrl/Data/SBEntry.h"

#include <gtest/gtest.h>

#include "TempDir.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/SettingBin.h"

namespace {

class SBEntryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.ok());
        Language::destroy();
    }
    void TearDown() override { Language::destroy(); }

    void unit(const char* type, const char* special = "")
    {
        bin.setEntry(SettingBin::KORTYPE_POS, type, nullptr, false, SBEntry::INVALID_TYPE);
        bin.setEntry(SettingBin::KORSPECIAL_POS, special, nullptr, false, SBEntry::INVALID_TYPE);
    }
    // A row selected by digital inputs, network and special build.
    SBEntry::EntryType selected(const char* digIn, const char* netw, const char* special = "")
    {
        const std::string row = std::string("7;T;Naam;Tab;ascii;;;KV;") + digIn + ";;;;" + netw + ";;;;" + special;
        return SBEntry(row.c_str(), &bin).entryType();
    }

    TempDir dir;
    SettingBin bin{nullptr};
};

}  // namespace

TEST_F(SBEntryTest, ValidAndMalformedRows)
{
    unit("KV8888GM-ED");
    SBEntry e("12;N;Telefoon 1;Algemeen;tel;Eerste nummer;Tab hulp;KV;;;;;;;;;", &bin);
    EXPECT_EQ(e.entryType(), SBEntry::TEL_INPUT_TYPE);
    EXPECT_EQ(e.entry(), 12);
    EXPECT_EQ(e.list(), 'N');
    EXPECT_STREQ(e.help(), "Eerste nummer");
    EXPECT_STREQ(e.tabHelp(), "Tab hulp");
    EXPECT_TRUE(e.tabNameIs("Algemeen"));
    EXPECT_EQ(SBEntry("1;T;a;b;ascii", &bin).entryType(), SBEntry::ASCII_INPUT_TYPE);  // columns may be missing

    const std::string wide(80, 'w');
    for (const std::string& row : {std::string("0;T;a;b;ascii"), std::string("x;T;a;b;ascii"), std::string("201;T;a;b;ascii"),
                                   std::string("1;X;a;b;ascii"), std::string("1;T;;b;ascii"), std::string("1;T;a;;ascii"),
                                   std::string("1;T;a;b;"), std::string("1;T;a;b;asciix"), "1;T;" + wide + ";b;ascii",
                                   "1;T;a;b;ascii;;;;;;;;;;;;" + std::string(20, 's'), std::string("")}) {
        EXPECT_EQ(SBEntry(row.c_str(), &bin).entryType(), SBEntry::INVALID_TYPE) << row;
    }
    EXPECT_EQ(SBEntry(("1;T;" + wide.substr(1) + ";b;ascii").c_str(), &bin).entryType(), SBEntry::ASCII_INPUT_TYPE);
}

TEST_F(SBEntryTest, VariantSelectors)
{
    for (char d = '0'; d <= '9'; ++d) {
        const std::string type = std::string("KV") + d + "888GM-ED";
        unit(type.c_str());
        const bool twoOrMore = d >= '2';
        EXPECT_EQ(selected("2+", ""), twoOrMore ? SBEntry::ASCII_INPUT_TYPE : SBEntry::INVALID_TYPE) << d;
        EXPECT_EQ(selected("2", ""), d == '2' ? SBEntry::ASCII_INPUT_TYPE : SBEntry::INVALID_TYPE) << d;
    }
    for (char n : {'G', 'W', 'I', 'N', 'P'}) {
        const std::string type = std::string("KV8888") + n + "M-ED";
        unit(type.c_str());
        const bool gw = n == 'G' || n == 'W';
        EXPECT_EQ(selected("", "GW"), gw ? SBEntry::ASCII_INPUT_TYPE : SBEntry::INVALID_TYPE) << n;
    }
    unit("KV8888GM-ED", "AB-X12");
    EXPECT_EQ(selected("", "", "X1"), SBEntry::ASCII_INPUT_TYPE);
    EXPECT_EQ(selected("", "", "X2"), SBEntry::INVALID_TYPE);
    // A type too short for a selector's position never matches it.
    unit("KV8");
    EXPECT_EQ(selected("", "G"), SBEntry::INVALID_TYPE);
    EXPECT_EQ(selected("", ""), SBEntry::ASCII_INPUT_TYPE);
}

TEST_F(SBEntryTest, MenuItems)
{
    SBEntry sub("3;T;Schakelaar;Tab;sel:Off:0|On: 1 ", &bin);
    EXPECT_EQ(sub.entryType(), SBEntry::INPUT_CHOICE_TYPE);
    ASSERT_EQ(sub.nrMenuItems(), 2);
    EXPECT_TRUE(sub.subItems());
    EXPECT_STREQ(sub.menuItem(0, false), "Off");
    EXPECT_STREQ(sub.menuItem("On", true), "1");
    EXPECT_EQ(sub.menuItem("1", true), nullptr);  // looked up by shown text
    char value[] = "1";
    char shown[] = "Off";
    EXPECT_EQ(sub.menuItem(value, true), 1);
    EXPECT_EQ(sub.menuItem(shown, false), 0);
    EXPECT_EQ(sub.menuItem(value, false), 2);  // not found: the item count
    EXPECT_STREQ(sub.menuItem(5, false), "");

    SBEntry plain("3;N;Keuze;Tab;sel:A|B|C", &bin);
    ASSERT_EQ(plain.nrMenuItems(), 3);
    EXPECT_FALSE(plain.subItems());
    EXPECT_STREQ(plain.menuItem(1, true), "B");

    // More than 20 items, or items longer than 39 characters, are cut.
    std::string many = "3;T;Veel;Tab;sel:" + std::string(50, 'L');
    for (int i = 1; i < 25; ++i) many += "|i" + std::to_string(i);
    SBEntry big(many.c_str(), &bin);
    EXPECT_EQ(big.nrMenuItems(), 20);
    EXPECT_EQ(std::string(big.menuItem(0, false)), std::string(39, 'L'));
    EXPECT_STREQ(big.menuItem(19, false), "i19");
}

TEST_F(SBEntryTest, NumberDefault)
{
    SBEntry e("4;N;Tijd;Tab;num:0..99|default:5", &bin);
    EXPECT_EQ(e.entryType(), SBEntry::NUM_INPUT_TYPE);
    EXPECT_STREQ(e.defaultEntry(), "5");
    EXPECT_STREQ(SBEntry("4;N;Tijd;Tab;num:0..99", &bin).defaultEntry(), "");
    EXPECT_STREQ(SBEntry("4;N;Tijd;Tab;num:default:5", &bin).defaultEntry(), "");
}

TEST_F(SBEntryTest, TextsAreTranslated)
{
    TempDir::write("language.ini", "taal=UK\n");
    TempDir::write("language.csv",
                   "1;Naam;;;Name\n2;Algemeen;;;General\n3;sel:Uit:0|Aan:1;;;sel:Off:0|On:1\n4;Hulp;;;Help\n");
    SBEntry e("9;T;Naam;Algemeen;sel:Uit:0|Aan:1;Hulp", &bin);
    EXPECT_STREQ(e.name(), "Name");
    EXPECT_STREQ(e.tabName(), "General");
    EXPECT_STREQ(e.help(), "Help");
    EXPECT_STREQ(e.menuItem(1, false), "On");
}
