#include "korprog/progctrl/Data/Language.h"

#include "TempDir.h"

namespace {

const std::string TAIL = " \nNo Language Support. Default is NL\n";

class LanguageTest : public DataTest {
protected:
    void SetUp() override
    {
        DataTest::SetUp();
        TempDir::write("language.csv",
                       "0;Nederlands;NL;Deutsch;English;Francais;Espanol\n"
                       "1;Opties;Opties;Optionen;Options;Options;Opciones\n"
                       "2;Verbonden;Verbonden;;;;\n"
                       "7;Nee;Nee;Nein;No\n"  // missing trailing columns are empty
                       "4;Nee;Nee;Nein;Nope\n"
                       "x;kop;heading\n");
    }
    // Reads the tables afresh with this choice.
    void choose(const std::string& ini)
    {
        Language::destroy();
        TempDir::write("language.ini", ini);
    }
};

}  // namespace

TEST_F(LanguageTest, TranslatesThroughTheChosenColumn)
{
    choose("taal=UK\n");
    ASSERT_NE(Language::instance(), nullptr);
    EXPECT_STREQ(gettext("Opties", 0), "Options");
    EXPECT_STREQ(gettext("Verbonden", 0), "Verbonden");  // empty translation
    EXPECT_STREQ(gettext("Opties", 3), "Opties");        // a message number asks for no look-up
    EXPECT_STREQ(gettext("Nee", 0), "Nope");             // the lower number wins
    EXPECT_STREQ(getMsgId(1), "Opties");

    choose("taal=NLINI\r\n");
    ASSERT_NE(Language::instance(), nullptr);
    EXPECT_STREQ(gettext("Opties", 0), "Opties");

    // Other keys and an empty choice are passed over; the value is one word.
    choose("kleur=rood\ntaal=\ntaal= GER  \n");
    ASSERT_NE(Language::instance(), nullptr);
    EXPECT_STREQ(gettext("Opties", 0), "Optionen");

    // No file, an empty first line, an unknown name: Dutch, no table, no alert.
    Language::destroy();
    ::remove("language.ini");
    EXPECT_EQ(Language::instance(), nullptr);
    for (const char* ini : {"\ntaal=UK\n", "taal=KLINGON\ntaal=UK\n"}) {
        choose(ini);
        EXPECT_EQ(Language::instance(), nullptr) << ini;
        EXPECT_STREQ(gettext("Opties", 0), "Opties");
    }
    EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(LanguageTest, MissingTableFallsBackToDutch)
{
    ::remove("language.csv");
    choose("taal=FR\n");
    ASSERT_NE(Language::instance(), nullptr);
    EXPECT_STREQ(gettext("Opties", 0), "Opties");
    EXPECT_EQ(dialogs.alerts, std::vector<std::string>{"Error!! File \"language.csv\" not available." + TAIL});
}

TEST_F(LanguageTest, ParseErrorKeepsTheRowsReadBefore)
{
    // Numbers outside 1..511, an over-wide number and a row longer than a
    // line may be all stop the table there.
    for (const std::string& bad : {std::string("512;Ja;;;Yes"), std::string("-3;Ja;;;Yes"),
                                   std::string("123456;Ja;;;Yes"), "3;Ja;;;Yes;" + std::string(510, 'x')}) {
        choose("taal=UK\n");
        dialogs.alerts.clear();
        TempDir::write("language.csv", "1;Opties;;;Options\n" + bad + "\n5;Nee;;;No\n");
        ASSERT_NE(Language::instance(), nullptr);
        EXPECT_STREQ(gettext("Opties", 0), "Options") << bad;
        EXPECT_STREQ(gettext("Nee", 0), "Nee") << bad;
        EXPECT_EQ(dialogs.alerts, std::vector<std::string>{"Error!! Language Parse error." + TAIL}) << bad;
    }
    choose("taal=UK\n");
    TempDir::write("language.csv", "511;Ja;;;Yes\n");
    ASSERT_NE(Language::instance(), nullptr);
    EXPECT_STREQ(gettext("Ja", 0), "Yes");
}
