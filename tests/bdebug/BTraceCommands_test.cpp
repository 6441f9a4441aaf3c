// The trace table and the command language.

#include "TraceTestKit.h"

namespace tracetest {
namespace {

class Commands : public TraceTest {
protected:
    void SetUp() override
    {
        TraceTest::SetUp();
        for (TestRoot* r : {&drv, &prot1, &prot2}) t->registerRootState(true, r);
    }
    TestRoot drv{"Kvcdrv", KOR_PROG, 10, "d1"};
    TestRoot prot1{"Kvprot", KOR_PROG, 12, "p1"};
    TestRoot prot2{"Kvprot", KOR_PROG, 12, "p2"};
};

TEST_F(Commands, LevelCommandsSetAndClearBitsOfAComponentAnInstanceOrAll)
{
    // After each command: the driver (root and row), the parser's row and first instance, its second instance.
    auto step = [&](const char* command, DebugLevel d, DebugLevel p1, DebugLevel p2) {
        t->procDbgStr(command);
        EXPECT_EQ(drv.debugLevel(), d) << command;
        EXPECT_EQ(level("Kvcdrv"), d) << command;
        EXPECT_EQ(prot1.debugLevel(), p1) << command;
        EXPECT_EQ(level("Kvprot"), p1) << command;
        EXPECT_EQ(prot2.debugLevel(), p2) << command;
    };
    step("Kvcdrv lvl low", 0x40, 0, 0);
    step("Kvcdrv lvl hi", 0x50, 0, 0);
    step("Kvcdrv lvl low off", 0x10, 0, 0);
    step("Kvcdrv lvl off", 0, 0, 0);
    step("Kvprot lvl entext", 0, 0x180, 0x180);
    step("Kvprot lvl off", 0, 0, 0);
    step("Kvprot lvl stt", 0, 0x188, 0x188);  // not "st": the first matching key wins
    step("Kvprot p2 lvl sig", 0, 0x188, 0x189);
    step("Kvcdrv lvl bogus", 0, 0x188, 0x189);
    EXPECT_TRUE(traced("handleDbgLevel unexpected debug level \"bogus\"\n")) << trace;

    step("Kvcdrv lvl sig", 0x01, 0x188, 0x189);
    step("help", 0x01, 0x188, 0x189);  // sorts the table, so "helm" (listing every root) is no longer first
    step("all lvl dbg", 0x71, 0x1F8, 0x1F8);  // each root keeps its own row's level
    for (const ConfigTable& e : t->configTable()) EXPECT_EQ(e.dbgLvl & 0x70, 0x70) << e.name;
    step("all lvl hi off", 0x61, 0x1E8, 0x1E8);  // "off" clears the bits everywhere
    step("all lvl whatever", 0xFFFF, 0xFFFF, 0xFFFF);
    step("all lvl off", 0, 0, 0);
}

TEST_F(TraceTest, AComponentThatRegistersLaterTakesOverItsLevelCommand)
{
    t->procDbgStr("Kvctrl lvl med");
    ASSERT_NE(entry("Kvctrl"), nullptr);
    EXPECT_EQ(entry("Kvctrl")->mod, 0);
    const size_t rows = t->configTable().size();

    TestRoot ctrl("Kvctrl", KOR_PROG, 11, "c1");
    ctrl.debugLevel(0x1FF);  // the table decides
    t->registerRootState(true, &ctrl);
    EXPECT_EQ(ctrl.debugLevel(), 0x20);
    EXPECT_EQ(t->configTable().size(), rows - 1) << "merged into the reserved row";
    EXPECT_EQ(t->findComponent(KOR_PROG, 11), entry("Kvctrl"));

    t->procDbgStr("main lvl ent");  // no reserved row: the placeholder itself is used
    TestRoot mainRoot("main", MOD_MAIN, CMP_MAIN, "m");
    t->registerRootState(true, &mainRoot);
    EXPECT_EQ(mainRoot.debugLevel(), 0x80);
    EXPECT_EQ(t->findComponent(MOD_MAIN, CMP_MAIN), entry("main"));

    EXPECT_EQ(entry("helm")->roots.size(), 2u);
    t->registerRootState(false, &ctrl);
    EXPECT_EQ(entry("helm")->roots.size(), 1u);
    EXPECT_TRUE(entry("Kvctrl")->roots.empty());
}

TEST_F(Commands, HelpPrintsTheTextAndTheSortedComponentListCommentsAreEchoed)
{
    t->procDbgStr("Kvcdrv lvl low");
    t->procDbgStr("help");
    EXPECT_EQ(trace.rfind("Processes the trace debug string.\n"
                          "       Commandine string. String may be interpreted in different ways:\n", 0), 0u);
    EXPECT_TRUE(traced("             - all   ( trace maximum )\n\n             - msg   ( sig | dat | st )\n"));
    EXPECT_TRUE(traced("           - none ( disable que, null or byps)\nCurrently supported components:\n"));
    EXPECT_TRUE(traced("        - \"Kvcdrv\" mod=10 comp=10 lvl=0x0040 rert=0 states: d1\n")) << trace;
    EXPECT_TRUE(traced("        - \"Kvprot\" mod=10 comp=12 lvl=0x0000 rert=0 states: p1 p2\n"));
    EXPECT_LT(trace.find("- \"helm\" mod="), trace.find("- \"help\" mod="));

    trace.clear();
    t->procDbgStr("# lvl comments are echoed");
    EXPECT_EQ(trace, "# lvl comments are echoed\n");
}

TEST_F(Commands, PrintCommandsReachTheNamedInstanceOrEveryRoot)
{
    t->procDbgStr("Kvprot p2 all");
    EXPECT_TRUE(prot1.printed.empty());
    EXPECT_EQ(prot2.printed, std::vector<std::string>{"Kvprot p2 all"});
    t->procDbgStr("Kvprot rpa info");
    EXPECT_EQ(prot1.printed, std::vector<std::string>{"Kvprot rpa info"});

    trace.clear();
    t->procDbgStr("helm ssm -name Kvprot -instname p2");
    EXPECT_EQ(trace.find("\n\n================= RootState startKvprot =================\nPrintStateData: Kvprot:p2\n"), 0u)
        << trace;
    EXPECT_FALSE(traced("Kvprot:p1"));
    trace.clear();
    t->procDbgStr("helm prt ssm");
    EXPECT_LT(trace.find("Kvcdrv:d1"), trace.find("Kvprot:p1")) << "sorted by name";
}

}  // namespace
}  // namespace tracetest
