// One reset puts back everything a run leaves in class-wide fields, as the
// program had it at start-up: the next run in the same process starts alike.

#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "korprog/RunFailure.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "main/Main.h"
#include "main/MainSignals.h"
#include "main/RunState.h"

namespace {

// Everything a run may change, as text.
std::string runState()
{
    auto text = [](const char* s) { return s ? "\"" + std::string(s) + "\"" : std::string("null"); };
    return "create=" + std::to_string(RevPackDb::CMDL_CREATE_REVPACK) + " bindir=" + text(RevPackDb::CMDL_BINDIR) +
           " special=" + std::to_string(RevPackDb::CHECK_SPECIAL) + " hw=" + std::to_string(RevPackDb::CHECK_HARDWARE) +
           " upgrade=" + std::to_string(RevPackDb::CMDL_UPGRADE) + " revpack=" + text(RevPackDb::CMDL_REVPACK) +
           " binfile=" + text(RevPackDb::CMDL_BINFILE) + " window=" + std::to_string(FrmKorProgImpl::CREATE_REVPACK) +
           " adn=" + text(FrmKorProgImpl::PROG_FILE_ADN) + " program=" + std::to_string(FrmKorProgImpl::CMDL_PROGRAM) +
           " refpack=" + text(Main::_refPackFile) + " dbg=" + text(Main::_dbgAddr) + ":" + std::to_string(Main::_dbgPort) +
           " unit=" + RevPackDb::actKorType() + "/" + RevPackDb::actSwVersion() + "/" + RevPackDb::actSpecial() + "/" +
           RevPackDb::actHwVersion() + " adnfile=" + RevPackDb::activeAdnFile() + " lists=" + text(RevPackDb::TYPELIST) +
           "," + text(RevPackDb::BINLIST) + " start=" + std::to_string(RevPackDb::START_ADDRESS) +
           " entries=" + std::to_string(SettingBin::maxKorEntries()) +
           " shutdown=" + std::to_string(Main::_shutdown) + " exit=" + std::to_string(Main::_exitCode) +
           " signal=" + std::to_string(MainSignals::received()) +
           " failure=" + std::to_string(int(RunFailure::ofRun().kind)) + ":" + RunFailure::ofRun().reason;
}

// Taken before any test runs: the program as it starts.
std::string atStartUp;
class StartUp : public ::testing::Environment {
public:
    void SetUp() override { atStartUp = runState(); }
};
::testing::Environment* const startUp = ::testing::AddGlobalTestEnvironment(new StartUp);

TEST(RunState, ResetPutsBackEverythingARunLeaves)
{
    ASSERT_FALSE(atStartUp.empty());
    // What the command line, a unit, the packs opened and the ending may leave.
    RevPackDb::CMDL_CREATE_REVPACK = RevPackDb::CMDL_UPGRADE = true;
    RevPackDb::CHECK_SPECIAL = RevPackDb::CHECK_HARDWARE = false;
    RevPackDb::CMDL_BINDIR = "bins";
    RevPackDb::CMDL_REVPACK = "KV-1[ab]";
    RevPackDb::CMDL_BINFILE = "x.bin";
    FrmKorProgImpl::CREATE_REVPACK = FrmKorProgImpl::CMDL_PROGRAM = true;
    FrmKorProgImpl::PROG_FILE_ADN = "s.adn";
    Main::_refPackFile = "KV-x.rpa";
    Main::_dbgAddr = "127.0.0.1";
    Main::_dbgPort = 4000;
    RevPackDb::setActHwSwVers("KV8888GM-ED", "KV-4.12", "X01", "D.49");
    RevPackDb::TYPELIST = RevPackDb::TYPELIST_NEW;
    RevPackDb::BINLIST = RevPackDb::BINLIST_NEW;
    RevPackDb::START_ADDRESS = RevPackDb::START_ADDRESS_49;
    SettingBin{nullptr}.totalNrEntries(12);  // a unit with 12 entries
    Main::_exitCode = 1;
    RunFailure::record({RunFailure::Kind::Port, "COM poort niet beschikbaar"});
    MainSignals::catchSignals();
    ::raise(SIGTERM);
    ::signal(SIGTERM, SIG_DFL);
    ASSERT_NE(runState(), atStartUp);

    RunState::reset();
    EXPECT_EQ(runState(), atStartUp);
}

}  // namespace
