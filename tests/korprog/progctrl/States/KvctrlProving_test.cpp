// Programming and upgrades that prove themselves: the read-back after
// "Programmeren" (against the simulator, which can store an entry other
// than it was sent).

#include "korprog/progctrl/Data/AdnFile.h"
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
