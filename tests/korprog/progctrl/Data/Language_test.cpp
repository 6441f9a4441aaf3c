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
        TempDir::write("language.csv",
                       "0;Nederlands;NL;Deutsch;English;Francais;Espanol\n"
                       "1;Opties;Opties;Optionen;Options;Options;Opciones\n"
                       "2;Verbonden;Verbonden;;;;\n"
                       "7;Nee;Nee;Nein;No\n"  // missing trailing columns are empty
                       "4;Nee;Nee;Nein;Nope\n"
                       "x;kop;heading\n");
    }
    void TearDown() override { Language::destroy(); }

    const std::string tail = " \nNo Language Support. Default is NL\n";
    TempDir dir;
    ScriptedDialogs dialogs;
};

}  // namespace

TEST_F(LanguageTest, TranslatesThroughTheChosenColumn)
{
    TempDir::write("language.ini", "taal=UK\n");
    ASSERT_NE(Language::instance(), nullptr);
    EXPECT_STREQ(gettext("Opties", 0), "Options");
    EXPECT_STREQ(gettext("Verbonden", 0), "Verbonden");  // empty translation
    EXPECT_STREQ(gettext("Opties", 3), "Opties");        // a message number asks for no look-up
    EXPECT_STREQ(gettext("Nee", 0), "Nope");             // the lower number wins
    EXPECT_STREQ(getMsgId(1), "Opties");
    EXPECT_TRUE(dialogs.alerts.empty());

    Language::destroy();
    TempDir::write("language.ini", "taal=NLINI\r\n");
    ASSERT_NE(Language::instance(), nullptr);
    EXPECT_STREQ(gettext("Opties", 0), "Opties");
}

TEST_F(LanguageTest, ChoiceInLanguageIni)
{
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

TEST_F(LanguageTest, MissingTableFallsBackToDutch)
{
    ::remove("language.csv");
    TempDir::write("language.ini", "taal=FR\n");
    ASSERT_NE(Language::instance(), nullptr);
    EXPECT_STREQ(gettext("Opties", 0), "Opties");
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0], "Error!! File \"language.csv\" not available." + tail);
}

TEST_F(LanguageTest, ParseErrorKeepsTheRowsReadBefore)
{
    TempDir::write("language.ini", "taal=UK\n");
    // Numbers outside 1..511, an over-wide number and a row longer than a
    // line may be all stop the table there.
    for (const std::string& bad : {std::string("512;Ja;;;Yes"), std::string("-3;Ja;;;Yes"),
                                   std::string("123456;Ja;;;Yes"), "3;Ja;;;Yes;" + std::string(510, 'x')}) {
        Language::destroy();
        dialogs.alerts.clear();
        TempDir::write("language.csv", "1;Opties;;;Options\n" + bad + "\n5;Nee;;;No\n");
        ASSERT_NE(Language::instance(), nullptr);
        EXPECT_STREQ(gettext("Opties", 0), "Options") << bad;
        EXPECT_STREQ(gettext("Nee", 0), "Nee") << bad;
        ASSERT_EQ(dialogs.alerts.size(), 1u) << bad;
        EXPECT_EQ(dialogs.alerts[0], "Error!! Language Parse error." + tail);
    }
    Language::destroy();
    TempDir::write("language.csv", "511;Ja;;;Yes\n");
    ASSERT_NE(Language::instance(), nullptr);
    EXPECT_STREQ(gettext("Ja", 0), "Yes");
}
