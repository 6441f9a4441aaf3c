// Programming and upgrades that prove themselves: the read-back after
// "Programmeren" (against the simulator, which can store an entry other
// than it was sent) and the names of what they tell.

#include "korprog/progctrl/States/KvctrlBackup.h"
#include "support/TempDir.h"
#include "korprog/progctrl/States/KvctrlReadBack.h"
#include "korprog/progctrl/States/KvctrlTestKit.h"

namespace {

std::string unitSettings(const std::string& text37)
{
    std::string f;
    for (int k = 1; k <= 200; ++k)
        f += (k == 10 ? std::string("KV8888GM-ED") : k == 37 ? text37 : "t" + std::to_string(k)) + "|" +
             (k == 115 || k == 116 ? "" : std::to_string(k)) + "\n";
    return f;
}

class KvctrlProvingTest : public KvctrlTest {
protected:
    bool programmed(const std::vector<std::string>& simArgs, const std::string& text37 = "Keuken")
    {
        proving = true;
        const std::string unitFile = sim.path("unit.adn");
        std::ofstream(unitFile) << unitSettings("Kelder");
        std::ofstream("new.adn") << unitSettings(text37);
        std::vector<std::string> args = {"--adn", unitFile};
        args.insert(args.end(), simArgs.begin(), simArgs.end());
        if (!connectOnSim(args)) return false;
        std::string why;
        if (AdnFile::load(*root->korSettingBin(), "new.adn", AdnFile::TOLERANT, &why) != AdnFile::LOADED) return false;
        post(new KvctrlUplReqEvt());
        return waitFor([this] { return view.last().rfind("Verbonden - ", 0) == 0 && view.buttonsOn; }, 20000);
    }
};

}  // namespace

TEST_F(KvctrlProvingTest, ReadBackFindsTheEntryTheUnitStoredOtherwiseAndLeavesTheEditorAlone)
{
    ASSERT_TRUE(programmed({"--store-differs", "37"})) << view.last();
    EXPECT_EQ(view.last(), "Verbonden - Controle mislukt: de Korvan houdt andere instellingen dan er geprogrammeerd zijn");
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_NE(dialogs.alerts[0].find("Instelling 37 leest 'KeukeX' in plaats van 'Keuken'"), std::string::npos)
        << dialogs.alerts[0];
    EXPECT_STREQ(root->korSettingBin()->getEntry(37)->text, "Keuken") << "the editor keeps what was sent";
    EXPECT_EQ(view.editorsOpened, 1) << "only by the file's load, not by the read-back";
}

TEST_F(KvctrlProvingTest, ReadBackOfAUnitThatTookEverythingSaysSo)
{
    ASSERT_TRUE(programmed({})) << view.last();
    EXPECT_EQ(view.last(), "Verbonden - Gecontroleerd: de Korvan houdt de geprogrammeerde instellingen");
    EXPECT_TRUE(dialogs.alerts.empty());
}

// The unit holds a backslash as '/' and gives every '/' back as a
// backslash: a text with either reads back as sent.
TEST_F(KvctrlProvingTest, ReadBackOfSlashesAndBackslashesSaysTheyAreIn)
{
    ASSERT_TRUE(programmed({}, "C:\\dir/sub")) << view.last();
    EXPECT_EQ(view.last(), "Verbonden - Gecontroleerd: de Korvan houdt de geprogrammeerde instellingen");
    EXPECT_TRUE(dialogs.alerts.empty()) << dialogs.alerts.front();
}

TEST(KvctrlReadBack, NamesTheFirstFewDifferencesAndCountsTheRest)
{
    std::vector<EntryDifference> d;
    for (int k = 1; k <= 7; ++k) d.push_back({k, k == 2 ? "number" : "text", "a", "b"});
    EXPECT_EQ(KvctrlReadBack::reason(d),
              "verify failed: entry 1 reads back 'b' instead of 'a'; entry 2 number reads back 'b' instead of 'a'; "
              "entry 3 reads back 'b' instead of 'a'; entry 4 reads back 'b' instead of 'a'; entry 5 reads back 'b' "
              "instead of 'a'; and 2 more");
}

TEST(KvctrlBackup, FileNameIsTypeImeiAndUtcTimeWithNoimeiAndSafeCharacters)
{
    EXPECT_EQ(KvctrlBackup::fileName("KV8888GM-ED", "351234567890123", 1700000000),
              "Backups/KV8888GM-ED_351234567890123_20231114-221320.adn");
    EXPECT_EQ(KvctrlBackup::fileName("KV/88 88", "", 0), "Backups/KV_88_88_noimei_19700101-000000.adn");
}

// Units without an IMEI, of one type, backed up in one second: on a
// production line each keeps its own backup.
TEST(KvctrlBackup, ABackupNeverReplacesAnotherOfTheSameName)
{
    TempDir here("korprog-backup", TempDir::ENTER);
    const std::string name = KvctrlBackup::fileName("KV8888PM-ED", "", 1700000000);
    std::string first, second, why;
    ASSERT_TRUE(KvctrlBackup::save(name, {{"Eerste", "1"}}, &why, &first)) << why;
    ASSERT_TRUE(KvctrlBackup::save(name, {{"Tweede", "2"}}, &why, &second)) << why;
    EXPECT_EQ(first, name);
    EXPECT_EQ(second, "Backups/KV8888PM-ED_noimei_20231114-221320_2.adn");
    EXPECT_EQ(TempDir::read(first), "Eerste|1\n");
    EXPECT_EQ(TempDir::read(second), "Tweede|2\n");
}
