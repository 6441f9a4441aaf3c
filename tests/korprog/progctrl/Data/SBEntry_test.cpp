#include "korprog/progctrl/Data/SBEntry.h"

#include "DataTest.h"
#include "korprog/progctrl/Data/SettingBin.h"

namespace {

class SBEntryTest : public DataTest {
protected:
    void unit(const char* type, const char* special = "")
    {
        bin.setEntry(SettingBin::KORTYPE_POS, type, nullptr, false, SBEntry::INVALID_TYPE);
        bin.setEntry(SettingBin::KORSPECIAL_POS, special, nullptr, false, SBEntry::INVALID_TYPE);
    }
    SBEntry::EntryType type(const std::string& row) { return SBEntry(row.c_str(), &bin).entryType(); }
    // Whether a row selected by digital inputs, network and special build is shown.
    bool shown(const char* digIn, const char* netw, const char* special = "")
    {
        return type(std::string("7;T;Naam;Tab;ascii;;;KV;") + digIn + ";;;;" + netw + ";;;;" + special) != SBEntry::INVALID_TYPE;
    }

    SettingBin bin{nullptr};
};

}  // namespace

TEST_F(SBEntryTest, ValidAndMalformedRows)
{
    unit("KV8888GM-ED");
    SBEntry e("12;N;Telefoon 1;Algemeen;tel;Eerste nummer;Tab hulp;KV;;;;;;;;;", &bin);
    EXPECT_EQ(e.entryType(), SBEntry::TEL_INPUT_TYPE);
    EXPECT_STREQ(e.help(), "Eerste nummer");
    EXPECT_STREQ(e.tabHelp(), "Tab hulp");
    EXPECT_EQ(type("1;T;a;b;ascii"), SBEntry::ASCII_INPUT_TYPE);  // columns may be missing

    const std::string wide(80, 'w'), bad[] = {"0;T;a;b;ascii", "x;T;a;b;ascii", "201;T;a;b;ascii", "1;X;a;b;ascii",
        "1;T;;b;ascii", "1;T;a;;ascii", "1;T;a;b;", "1;T;a;b;asciix", "1;T;" + wide + ";b;ascii",
        "1;T;a;b;ascii;;;;;;;;;;;;" + std::string(20, 's'), ""};
    for (const std::string& row : bad) EXPECT_EQ(type(row), SBEntry::INVALID_TYPE) << row;
    EXPECT_EQ(type("1;T;" + wide.substr(1) + ";b;ascii"), SBEntry::ASCII_INPUT_TYPE);
    // A table saved with CR LF line ends.
    for (const char* crlf : {"1;T;a;b;ascii\r", "1;T;a;b;ascii;;;;;;;;;;;;\r\n"})
        EXPECT_EQ(type(crlf), SBEntry::ASCII_INPUT_TYPE) << crlf;
}

TEST_F(SBEntryTest, VariantSelectors)
{
    for (char d = '0'; d <= '9'; ++d) {
        unit((std::string("KV") + d + "888GM-ED").c_str());
        EXPECT_EQ(shown("2+", ""), d >= '2') << d;
        EXPECT_EQ(shown("2", ""), d == '2') << d;
    }
    for (char n : {'G', 'W', 'I', 'N', 'P'}) {
        unit((std::string("KV8888") + n + "M-ED").c_str());
        EXPECT_EQ(shown("", "GW"), n == 'G' || n == 'W') << n;
    }
    unit("KV8888GM-ED", "AB-X12");
    EXPECT_TRUE(shown("", "", "X1"));
    EXPECT_FALSE(shown("", "", "X2"));
    unit("KV8");  // a type too short for a selector's position never matches it
    EXPECT_FALSE(shown("", "G"));
    EXPECT_TRUE(shown("", ""));
}

TEST_F(SBEntryTest, MenuItemsAndNumberDefault)
{
    SBEntry sub("3;T;Schakelaar;Tab;sel:Off:0|On: 1 ", &bin);
    EXPECT_EQ(sub.entryType(), SBEntry::INPUT_CHOICE_TYPE);
    ASSERT_EQ(sub.nrMenuItems(), 2);
    EXPECT_TRUE(sub.subItems());
    EXPECT_STREQ(sub.menuItem(0, false), "Off");
    EXPECT_STREQ(sub.menuItem("On", true), "1");
    EXPECT_EQ(sub.menuItem("1", true), nullptr);  // looked up by shown text
    char value[] = "1", shownText[] = "Off";
    EXPECT_EQ(sub.menuItem(value, true), 1);
    EXPECT_EQ(sub.menuItem(shownText, false), 0);
    EXPECT_EQ(sub.menuItem(value, false), 2);  // not found: the item count
    EXPECT_STREQ(sub.menuItem(5, false), "");

    SBEntry plain("3;N;Keuze;Tab;sel:A|B|C", &bin);
    ASSERT_EQ(plain.nrMenuItems(), 3);
    EXPECT_FALSE(plain.subItems());
    EXPECT_STREQ(plain.menuItem(1, true), "B");

    // Items past 20 are dropped. A shown text longer than 39 characters is
    // cut; a value (a plain item's text is its value) is never cut: an item
    // whose value does not fit is left out.
    std::string many = "3;T;Veel;Tab;sel:" + std::string(50, 'L');
    for (int i = 1; i < 25; ++i) many += "|i" + std::to_string(i);
    SBEntry big(many.c_str(), &bin);
    EXPECT_EQ(big.nrMenuItems(), 20);
    EXPECT_STREQ(big.menuItem(0, false), "i1");
    EXPECT_STREQ(big.menuItem(19, false), "i20");
    SBEntry longText(("3;T;Lang;Tab;sel:" + std::string(45, 'T') + ":7|" + "V:" + std::string(40, '9') + "|W:8").c_str(), &bin);
    ASSERT_EQ(longText.nrMenuItems(), 2);
    EXPECT_EQ(std::string(longText.menuItem(0, false)), std::string(39, 'T'));
    EXPECT_STREQ(longText.menuItem(0, true), "7");
    EXPECT_STREQ(longText.menuItem(1, true), "8");

    SBEntry num("4;N;Tijd;Tab;num:0..99|default:5", &bin);
    EXPECT_EQ(num.entryType(), SBEntry::NUM_INPUT_TYPE);
    EXPECT_STREQ(num.defaultEntry(), "5");
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
