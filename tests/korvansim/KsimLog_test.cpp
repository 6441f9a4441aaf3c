// The simulator's log written by its own thread: every line, in order, with
// its stamp, and nothing left unwritten when the log ends.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "korvansim/KsimLog.h"

TEST(KsimLog, LinesWrittenInTheBackgroundKeepTheirOrderAndStampsAndAllReachTheFile)
{
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    std::string expected;
    {
        KsimLog log(f, 1000000);
        log.line("written at once", 1002000);
        expected += "   0.002 written at once\n";
        ASSERT_TRUE(log.inBackground());
        for (int i = 0; i < 2000; ++i) {
            log.line("line " + std::to_string(i), 13000000 + i * 1000);
            char stamp[32];
            std::snprintf(stamp, sizeof stamp, "%4d.%03d ", 12 + (i / 1000), i % 1000);
            expected += stamp + ("line " + std::to_string(i)) + "\n";
        }
    }
    std::rewind(f);
    std::string got;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) got.append(buf, n);
    std::fclose(f);
    EXPECT_EQ(got, expected);
}
