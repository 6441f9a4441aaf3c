// The per-unit record as a reader of the report file sees it, with runs
// appending in parallel and files that cannot take the record.

#include "korprog/runlog/RunReport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/FullDisk.h"

using nlohmann::json;

namespace {

class RunReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/kpreport.XXXXXX";
        ASSERT_NE(nullptr, ::mkdtemp(tmpl));
        dir = tmpl;
        file = dir + "/runs.jsonl";
    }
    void TearDown() override { (void)std::system(("chmod -R u+w '" + dir + "'; rm -rf '" + dir + "'").c_str()); }

    std::string read() const
    {
        std::ifstream in(file, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::vector<json> records() const
    {
        std::istringstream in(read());
        std::vector<json> out;
        for (std::string line; std::getline(in, line);) out.push_back(json::parse(line));
        return out;
    }
    // Runs body in a child as a user without rights to anything of root's;
    // its result (0..255).
    static int asNobody(const std::function<int()>& body)
    {
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(99);
            ::_exit(body());
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string dir;
    std::string file;
};

} // namespace

TEST_F(RunReportTest, ARecordHoldsTheWholeRunAndWhatItDidNotDoIsNull)
{
    RunReport r;
    r.startedMs = 1796771645000LL;
    r.endedMs = 1796771712500LL;
    r.port = "/dev/serial/by-id/usb-FTDI-if00";
    r.mode = "upgrade";
    r.before = UnitIdentity{"KV8888GM-ED", "KV-4.12", "", "D.49", "351234567890123"};
    r.after = UnitIdentity{"KV8888GM-ED", "KV-4.13", "", "D.49", "351234567890123"};
    r.pack = "KV-4.13[3f0a].rpa";
    r.packSha256 = std::string(64, 'a');
    r.image = "KV8888GM-ED_4.13.bin";
    r.imageSha256 = std::string(64, 'b');
    r.backupFile = "Backups/KV8888GM-ED_351234567890123_20261208-231405.adn";
    r.verifyOk = false;
    r.differences = {{37, "text", "Keuken", "Kelder", ""}, {38, "number", "0612", "", ""}};
    r.exitCode = 9;
    r.kind = "verify";
    r.reason = "verify failed";
    r.durationS = 67.5;
    std::string error;
    ASSERT_TRUE(r.append(file, &error)) << error;

    RunReport empty;
    empty.exitCode = 0;
    ASSERT_TRUE(empty.append(file, &error)) << error;

    struct stat st;
    ASSERT_EQ(0, ::stat(file.c_str(), &st));
    EXPECT_EQ(0644u, st.st_mode & 0777);
    const std::vector<json> l = records();
    ASSERT_EQ(2u, l.size());
    EXPECT_EQ("2026-12-08T23:15:12.500Z", l[0]["ended"]);
    EXPECT_EQ("KV-4.12", l[0]["before"]["software"]);
    EXPECT_EQ("KV-4.13", l[0]["after"]["software"]);
    EXPECT_EQ(std::string(64, 'b'), l[0]["image_sha256"]);
    EXPECT_EQ(38, l[0]["verify"]["differences"][1]["entry"]);
    EXPECT_EQ("failed", l[0]["result"]);
    for (const char* k : {"started", "port", "before", "after", "pack", "backup", "verify", "kind", "reason"})
        EXPECT_TRUE(l[1][k].is_null()) << k;
    EXPECT_EQ("ok", l[1]["result"]);
}

// Eight production-line stations finish at once, again and again: every
// record arrives whole, on a line of its own.
TEST_F(RunReportTest, RunsAppendingInParallelNeverMixTheirRecords)
{
    const int processes = 8, runs = 40;
    std::vector<pid_t> pids;
    for (int p = 0; p < processes; ++p) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            RunReport r;
            r.port = "/dev/ttyUSB" + std::to_string(p);
            r.reason = std::string(6000 + 100 * p, static_cast<char>('a' + p));
            std::string error;
            for (int k = 0; k < runs; ++k) {
                r.exitCode = k;
                if (!r.append(file, &error)) ::_exit(1);
            }
            ::_exit(0);
        }
        pids.push_back(pid);
    }
    for (pid_t pid : pids) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::map<std::string, int> perPort;
    std::vector<json> l;
    ASSERT_NO_THROW(l = records());
    for (const json& j : l) {
        const std::string port = j["port"];
        const int p = port.back() - '0';
        EXPECT_EQ(std::string(6000 + 100 * p, static_cast<char>('a' + p)), j["reason"].get<std::string>());
        EXPECT_EQ(perPort[port]++, j["exit"]) << "each station's records in its order";
    }
    EXPECT_EQ(size_t(processes * runs), l.size());
}

TEST_F(RunReportTest, AFileThatCannotTakeTheRecordSaysWhyAndACutLineStaysApart)
{
    RunReport r;
    r.reason = std::string(300, 'x');
    std::string error;
    EXPECT_FALSE(r.append(dir + "/missing/runs.jsonl", &error));
    EXPECT_EQ("No such file or directory", error);

    ::chmod(dir.c_str(), 0555);
    EXPECT_EQ(0, asNobody([&] {
        std::string e;
        return !r.append(file, &e) && e == "Permission denied" ? 0 : 1;
    }));
    ::chmod(dir.c_str(), 0777);

    // A full disk would cut the record short: the run hears of it, and the
    // part that went in is taken back.
    RunReport first;
    ASSERT_TRUE(first.append(file, &error)) << error;
    const off_t before = static_cast<off_t>(read().size());
    EXPECT_EQ(0, fulldisk::inChild(static_cast<rlim_t>(before + 100), [&] {
        std::string e;
        return !r.append(file, &e) && e == "File too large" ? 0 : 1;
    }));
    EXPECT_EQ(read().size(), size_t(before)) << "no part of the record stays";
    // A line cut by a writer that could not take it back (killed): the next
    // record still gets a line of its own.
    std::ofstream(file, std::ios::app) << "{\"started\":\"2026";
    ASSERT_TRUE(r.append(file, &error)) << error;
    std::istringstream in(read());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(3u, lines.size());
    EXPECT_NO_THROW(json::parse(lines[0]));
    EXPECT_THROW(json::parse(lines[1]), json::parse_error);
    EXPECT_EQ(r.line(), lines[2] + "\n");
}
