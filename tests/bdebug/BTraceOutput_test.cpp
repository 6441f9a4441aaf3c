// Trace output: byte arrays, the report formats, the log file and the commands file.

#include "TraceTestKit.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "bdebug/BAssert.h"
#include "bdebug/BDownCast.h"
#include "helm/BBindingEvent.h"
#include "support/TempDir.h"

namespace tracetest {
namespace {

std::string readFile(const char* name)
{
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const std::string STAMP = R"(\d{4}/\d{2}/\d{2}/\d{2}:\d{2}:\d{2})";

TEST_F(TraceTest, ByteArraysPrintInCharacterOrHexLines)
{
    const uint8_t bytes[] = {0x41, 0x00, 0x7F};
    t->prtDataArray(bytes, 3, false, false);
    t->prtDataArray(bytes, 3, true, false);
    t->prtDataArray(nullptr, 0, true, false);
    const std::vector<uint8_t> many(165, 'z');  // split after 164 bytes
    t->prtDataArray(many.data(), 164, false, true);
    t->prtDataArray(many.data(), 165, false, true);
    const std::string full = "[" + std::string(164, 'z') + "]\n";
    EXPECT_EQ(trace, "[A~00~~7f~]\n[41 00 7F ]\n[]\n" + full + full + "[z]\n");
}

TEST_F(TraceTest, AssertionReportGoesToTheDebugStreamOnlyErrorReportAlsoToTheLog)
{
    // The log and commands files have fixed names.
    TempDir dir("kptrace", TempDir::ENTER);
    ASSERT_TRUE(t->openDbgLog());
    t->dbgPrint("first", true, true);
    EXPECT_TRUE(std::regex_match(trace, std::regex(STAMP + ";first\n"))) << trace;

    trace.clear();
    const int line = __LINE__ + 1;
    B_ASSERT(1 + 1 == 3, "Unsuccessful result event=" << 57);
    EXPECT_EQ(trace, std::string(__FILE__) + " " + std::to_string(line) +
                         "\nAssertion failed: 1 + 1 == 3 Unsuccessful result event=57\n");

    trace.clear();
    const int errLine = __LINE__ + 1;
    B_ERROR("Unknown data:" << 7);
    const std::regex report(STAMP + " " + __FILE__ + " " + std::to_string(errLine) + "\nException: Unknown data:7\n");
    EXPECT_TRUE(std::regex_match(trace, report)) << trace;

    const std::string log = readFile("dbgTrace.log");  // flushed at every write
    EXPECT_TRUE(std::regex_match(log, std::regex(STAMP + ";first\n" + STAMP + " .*\nException: Unknown data:7\n")))
        << log;
    t->closeDbgLog();
    ASSERT_TRUE(t->openDbgLog());
    EXPECT_EQ(readFile("dbgTrace.log"), "") << "opening empties the log";
}

struct PingEvt : BBindingEvent {
    PingEvt() : BBindingEvent(60, true) {}
};

TEST_F(TraceTest, CheckcastReportsANullResultAndHandsItBack)
{
    BBindingEvent* other = new BBindingEvent(61, true);
    const BEvent* received = other;
    const int line = __LINE__ + 1;
    EXPECT_EQ(B_CHECKCAST(PingEvt, received), nullptr);
    EXPECT_EQ(trace, std::string(__FILE__) + " " + std::to_string(line) +
                         "\nDowncast failed: cannot cast received to type PingEvt\n");
    other->destroy();
}

TEST_F(TraceTest, CommandsFileRunsMatchingLinesAndIsCreatedWhenMissing)
{
    // The log and commands files have fixed names.
    TempDir dir("kptrace", TempDir::ENTER);
    testing::internal::CaptureStdout();
    t->processCommandsFile("lvl");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\nTrace commands file \"dbgTraceCommands.txt\" does not exist !!, touching ...\n");
    EXPECT_EQ(::access("dbgTraceCommands.txt", F_OK), 0);

    // CR LF, a comment, another kind of command, an over-long line whose tail
    // must not run as a command of its own, a last line without line end.
    std::ofstream("dbgTraceCommands.txt") << "Kvcdrv lvl low\r\n# lvl note\nKvcdrv rert que\n"
                                          << "Kvcdrv lvl med" << std::string(64, ' ') << "Kvprot lvl sig\n"
                                          << "Kvcdrv lvl hi";
    const size_t rows = t->configTable().size();
    t->processCommandsFile("lvl");
    EXPECT_EQ(level("Kvcdrv"), 0x70);
    EXPECT_EQ(entry("Kvcdrv")->reRout, NO_RERT);
    EXPECT_EQ(t->configTable().size(), rows + 1) << "only the driver's placeholder was added";
    EXPECT_TRUE(traced("# lvl note\n"));
}

}  // namespace
}  // namespace tracetest
