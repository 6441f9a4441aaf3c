// The delivered translation table (data/language.csv) read by the program's
// own loader in every language. Which texts need a row is checked by
// tools/langtexts.sh (CTest: langtexts).

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "DataTest.h"

TEST(LanguageCsv, LoadsInEveryLanguageWithTheBootLoaderAlert)
{
    const char* data = std::getenv("KORPROG_TEST_DATA");
    ASSERT_NE(data, nullptr) << "KORPROG_TEST_DATA names the data directory; ctest sets it";
    TempDir dir{"kpdata", TempDir::ENTER};
    ASSERT_TRUE(dir.ok());
    std::filesystem::copy_file(std::filesystem::path(data) / "language.csv", "language.csv");
    ScriptedDialogs dialogs;
    const struct {
        const char* name;
        const char* options;  // "Opties"
        const char* bootLoader;  // message 208
    } languages[] = {
        {"NLINI", "Opties", "Korvan staat in de bootloader"},
        {"NL", "Opties", "Korvan staat in de bootloader"},
        {"GER", "Optionen", "Die Korvan ist im Bootloader"},
        {"UK", "Options", "The Korvan is in its boot loader"},
        {"FR", "Options", "La Korvan est dans son bootloader"},
        {"SPA", "Opciones", "La Korvan está en su bootloader"},
    };
    for (const auto& l : languages) {
        Language::destroy();
        TempDir::write("language.ini", std::string("taal=") + l.name + "\n");
        ASSERT_NE(Language::instance(), nullptr) << l.name;
        EXPECT_STREQ(gettext("Opties", 0), l.options) << l.name;
        EXPECT_STREQ(gettext(getMsgId(208), 0), l.bootLoader) << l.name;
        for (int n = 209; n <= 213; ++n) {
            EXPECT_STRNE(getMsgId(n), "") << l.name << " " << n;
            EXPECT_STRNE(gettext(getMsgId(n), 0), "") << l.name << " " << n;
        }
    }
    Language::destroy();
    EXPECT_EQ(dialogs.alerts, std::vector<std::string>{});  // no parse error, no missing file
}

// tools/langtexts.sh, on a tree of its own: a translation whose printf
// conversions are not exactly its key's is named, whatever the difference.
TEST(LanguageCsv, LangtextsRefusesRowsWhoseConversionsDifferFromTheKey)
{
    const char* data = std::getenv("KORPROG_TEST_DATA");
    ASSERT_NE(data, nullptr) << "KORPROG_TEST_DATA names the data directory; ctest sets it";
    namespace fs = std::filesystem;
    TempDir dir{"kpdata", TempDir::ENTER};
    ASSERT_TRUE(dir.ok());
    for (const char* d : {"tools", "data", "src/korprog", "src/main"}) fs::create_directories(d);
    fs::copy_file(fs::path(data) / "../tools/langtexts.sh", "tools/langtexts.sh");
    // One editor row: its label, tab and help texts need rows as well.
    TempDir::write("data/config.csv", "1;T;Naam;Tab;ascii;Hulp;Tabhulp\n");
    std::string rows = "3;Naam;a;b;c;d;e\n4;Tab;a;b;c;d;e\n5;Hulp;a;b;c;d;e\n6;Tabhulp;a;b;c;d;e\n";
    for (int n = 208; n <= 213; ++n) rows += std::to_string(n) + ";Boot " + std::to_string(n) + ";a;b;c;d;e\n";
    std::string code;
    for (int n = 208; n <= 213; ++n) code += "gettext(\"Boot " + std::to_string(n) + "\", 0);\n";
    code += "gettext(\"Lees %s\", 0); gettext(\"Regel %d van %s\", 0);\n";
    TempDir::write("src/korprog/t.cpp", code);

    auto check = [&](const std::string& more) {
        TempDir::write("data/language.csv", rows + more);
        const int rc = std::system("bash tools/langtexts.sh > out.txt 2>&1");
        return std::make_pair(WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, TempDir::read("out.txt"));
    };
    const std::string good = "1;Lees %s;a %s;b %s;c %s;d %s;e %s\n2;Regel %d van %s;%d %s;%d %s;%d %s;%d %s;%d %s\n";
    EXPECT_EQ(0, check(good).first) << check(good).second;
    const char* const bad[] = {"%n%n%n%n%n%n%s", "%s %s", "", "%5s", "%-s", "%d", "%s%"};
    for (const char* uk : bad) {
        const auto r = check(good + "3;Lees %s;a %s;b %s;" + uk + (*uk ? "" : "x") + ";d %s;e %s\n");
        EXPECT_EQ(1, r.first) << uk;
        const std::string named = "line 13: column 5 has other conversions than \"Lees %s\"";
        EXPECT_NE(std::string::npos, r.second.find(named)) << uk << r.second;
    }
    const auto swapped = check("1;Lees %s;a %s;b %s;c %s;d %s;e %s\n2;Regel %d van %s;%s %d;%d %s;%d %s;%d %s;%d %s\n");
    EXPECT_NE(std::string::npos, swapped.second.find("line 12: column 3 has other conversions")) << swapped.second;
}
