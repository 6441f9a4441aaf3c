// The delivered translation table (data/language.csv) read by the program's
// own loader in every language. Which texts need a row is checked by
// tools/langtexts.sh (CTest: langtexts).

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"

TEST(LanguageCsv, LoadsInEveryLanguageWithTheBootLoaderAlert)
{
    const char* data = std::getenv("KORPROG_TEST_DATA");
    ASSERT_NE(data, nullptr) << "KORPROG_TEST_DATA names the data directory; ctest sets it";
    TempDir dir;
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
