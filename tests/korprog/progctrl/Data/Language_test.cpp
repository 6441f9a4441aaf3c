#include "korprog/progctrl/Data/Language.h"

#include <gtest/gtest.h>

#include "TempDir.h"
#include "support/ScriptedDialogs.h"

namespace {

class LanguageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.ok());
        Language::destroy();
    }
    void TearDown() override { Language::destroy(); }

    TempDir dir;
    ScriptedDialogs dialogs;
};

const char* const TABLE =
    "0;Nederlands;NL;Deutsch;English;Francais;Espanol\n"
    "1;Opties;Opties;Optionen;Options;Options;Opciones\n"
    "2;Verbonden;Verbonden;;;;\n"
    "7;Nee;Nee;Nein;No\n"  // missing trailing columns are empty
    "4;Nee;Nee;Nein;Nope\n"
    "x;kop;heading\n";

}  // namespace

TEST_F(LanguageTest, TranslatesThroughTheChosenColumn)
{
    TempDir::write("language.ini", "taal=UK\n");
    TempDir::write("language.csv", TABLE);
    ASSERT_NE(Language::instance(), nullptr);
    EXPECT_STREQ(gettext("Opties", 0), "Options");
    // An empty translation leaves the Dutch text.
    EXPECT_STREQ(gettext("Verbonden", 0), "Verbonden");
    // A message number asks for no look-up at all.
    EXPECT_STREQ(gettext("Opties", 3), "Opties");
    // Of two rows with the same Dutch text the lower number wins.
    EXPECT_STREQ(gettext("Nee", 0), "Nope");
    EXPECT_STREQ(gettext("onbekend", 0), "onbekend");
    EXPECT_STREQ(getMsgId(1), "Opties");
    EXPECT_STREQ(getMsgId(600), "");
    EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(LanguageTest, NliniShowsTheProgramsOwnTexts)
{
    TempDir::write("language.ini", "taal=NLINI\r\n");
    TempDir::write("language.csv", TABLE);
    ASSERT_NE(Language::instance(), nullptr);
    EXPECT_EQ(Language::instance()->languageId(), Language::NLINI);
    EXPECT_STREQ(gettext("Opties", 0), "Opties");
    EXPECT_STREQ(gettext("Verbonden", 0), "Verbonden");
}

TEST_F(LanguageTest, ChoiceInLanguageIni)
{
    TempDir::write("language.csv", TABLE);

    // No file, an empty first line, an unknown name: Dutch, no table, no alert.
    EXPECT_EQ(Language::instance(), nullptr);
    TempDir::write("language.ini", "\ntaal=UK\n");
    EXPECT_EQ(Language::instance(), nullptr);
    TempDir::write("language.ini", "taal=KLINGON\ntaal=UK\n");
    EXPECT_EQ(Language::instance(), nullptr);
    EXPECT_STREQ(gettext("Opties", 0), "Opties");

    // Other keys and an empty choice are passed over; the value is one word.
    TempDir::write("language.ini", "kleur=rood\ntaal=\ntaal= GER  \n");
    ASSERT_NE(Language::instance(), nullptr);
    EXPECT_STREQ(gettext("Opties", 0), "Optionen");
    EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(LanguageTest, MissingTableFallsBackToDutchWithOneAlert)
{
    TempDir::write("language.ini", "taal=FR\n");
    ASSERT_NE(Language::instance(), nullptr);
    EXPECT_STREQ(gettext("Opties", 0), "Opties");
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0],
              "Error!! File \"language.csv\" not available. \nNo Language Support. Default is NL\n");
}

TEST_F(LanguageTest, ParseErrorKeepsTheRowsReadBefore)
{
    TempDir::write("language.ini", "taal=SPA\n");
    // A row longer than a line may be is refused, not silently cut.
    const std::string longRow = "2;Ja;;;;;" + std::string(510, 'x');
    TempDir::write("language.csv",
                   "1;Opties;;;;;Opciones\n" + longRow + "\n"
                   "3;Nee;;;;;No\n");
    ASSERT_NE(Language::instance(), nullptr);
    EXPECT_STREQ(gettext("Opties", 0), "Opciones");
    EXPECT_STREQ(gettext("Nee", 0), "Nee");
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0], "Error!! Language Parse error. \nNo Language Support. Default is NL\n");
}

TEST_F(LanguageTest, MessageNumbersOutsideTheTableAreParseErrors)
{
    TempDir::write("language.ini", "taal=UK\n");
    for (const char* row : {"512;Nee;;;No\n", "-3;Nee;;;No\n", "123456;Nee;;;No\n"}) {
        Language::destroy();
        dialogs.alerts.clear();
        TempDir::write("language.csv", std::string("1;Opties;;;Options\n") + row + "5;Ja;;;Yes\n");
        ASSERT_NE(Language::instance(), nullptr) << row;
        EXPECT_STREQ(gettext("Opties", 0), "Options") << row;
        EXPECT_STREQ(gettext("Ja", 0), "Ja") << row;
        EXPECT_EQ(dialogs.alerts.size(), 1u) << row;
    }
    // 511 is the last message number.
    Language::destroy();
    TempDir::write("language.csv", "511;Ja;;;Yes\n");
    ASSERT_NE(Language::instance(), nullptr);
    EXPECT_STREQ(gettext("Ja", 0), "Yes");
}
