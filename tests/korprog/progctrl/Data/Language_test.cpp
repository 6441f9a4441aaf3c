#include "korprog/progctrl/Data/Language.h"

#include "DataTest.h"
#include "bdebug/BTrace.h"
#include "korprog/progctrl/Data/Translated.h"

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
    // Numbers outside 1..1023, an over-wide number and a row longer than a
    // line may be all stop the table there.
    for (const std::string& bad : {std::string("1024;Ja;;;Yes"), std::string("-3;Ja;;;Yes"),
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
    TempDir::write("language.csv", "1023;Ja;;;Yes\n");
    ASSERT_NE(Language::instance(), nullptr);
    EXPECT_STREQ(gettext("Ja", 0), "Yes");
}

// A translation is a format wherever its key is one: one whose conversions
// are not exactly the key's (%n, one more or fewer, a width, a flag) is not
// used, the key's own text is shown and the row is named once in the trace.
TEST_F(LanguageTest, TranslationWithOtherConversionsThanItsKeyIsNotUsed)
{
    std::string trace;
    BTrace::capture(&trace);
    struct Uncapture {
        ~Uncapture() { BTrace::capture(nullptr); }
    } uncapture;
    auto count = [](const std::string& in, const std::string& what) {
        int n = 0;
        for (size_t at = in.find(what); at != std::string::npos; at = in.find(what, at + 1)) ++n;
        return n;
    };
    TempDir::write("language.csv",
                   "1;Cannot read %s;;;%n%n%n%n%n%n%s\n"
                   "2;Kan %s niet lezen %d;;;Cannot read %s %d %s\n"
                   "3;Fout in %s en %s;;;Error in %s\n"
                   "4;Regel %d;;;Line %5d\n"
                   "5;Regel %-3d;;;Line %3d\n"
                   "6;Klaar %d%%;;;Done %d%%\n"
                   "7;Tekst %s;;;Text %s\n");
    choose("taal=UK\n");
    ASSERT_NE(Language::instance(), nullptr);
    for (const char* key : {"Cannot read %s", "Kan %s niet lezen %d", "Fout in %s en %s", "Regel %d", "Regel %-3d"})
        EXPECT_STREQ(key, gettext(key, 0)) << key;
    EXPECT_STREQ("Done %d%%", gettext("Klaar %d%%", 0));
    EXPECT_STREQ("Text %s", gettext("Tekst %s", 0));
    for (int n = 1; n <= 5; ++n) {
        const std::string row = "message " + std::to_string(n) + " \"" + getMsgId(n) + "\"";
        EXPECT_EQ(1, count(trace, row)) << row << "\n" << trace;
    }
    EXPECT_EQ(0, count(trace, "message 6 "));
    EXPECT_TRUE(dialogs.alerts.empty());

    // As a format, the key's text serves.
    EXPECT_EQ("Cannot read x.rpa", Translated::message("Cannot read %s", "x.rpa"));
}
