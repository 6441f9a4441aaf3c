// The events of a run as a reader of the program's standard output sees
// them: lines on a pipe, each parsed on its own, on a clock of the test's.

#include "korprog/runlog/RunEvents.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

using nlohmann::ordered_json;

namespace {

class RunEventsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(0, ::pipe2(fds, O_CLOEXEC)); }
    void TearDown() override
    {
        events.reset();
        ::close(fds[0]);
        ::close(fds[1]);
    }
    void make()
    {
        RunEvents::Clock c;
        c.wallMs = [this] { return wall; };
        c.monotonicMs = [this] { return mono; };
        events.reset(new RunEvents(fds[1], c));
    }
    void advance(int64_t ms)
    {
        wall += ms;
        mono += ms;
    }
    // Everything written so far, one parsed object per line.
    std::vector<ordered_json> lines()
    {
        ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
        char buf[4096];
        for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) pending.append(buf, static_cast<size_t>(n));
        std::vector<ordered_json> out;
        for (size_t nl; (nl = pending.find('\n')) != std::string::npos; pending.erase(0, nl + 1))
            out.push_back(ordered_json::parse(pending.substr(0, nl)));
        return out;
    }

    int fds[2] = {-1, -1};
    int64_t wall = 1796771645000LL;
    int64_t mono = 5000;
    std::unique_ptr<RunEvents> events;
    std::string pending;
};

} // namespace

TEST_F(RunEventsTest, ARunWritesItsEventsAndExactlyOneEnd)
{
    make();
    events->start("upgrade", "/dev/ttyUSB0", {"KV-4.13.rpa", "KV8888GM-ED_4.13.bin"});
    advance(250);
    events->unit(UnitIdentity{"KV8888GM-ED", "KV-4.12", "", "D.49", "351234567890123"});
    events->backup("/home/x/Backups/KV8888GM-ED_351234567890123_20261208-231405.adn");
    events->verify(false, {{37, "text", "Keuken", "Kelder", ""}});
    advance(2250);
    events->finish(9, "verify", "verify failed: entry 37 reads back 'Kelder' instead of 'Keuken'");
    events->end(0, "", "", 1.0);
    events->backup("late");
    events.reset();

    const std::vector<ordered_json> l = lines();
    ASSERT_EQ(5u, l.size());
    std::string order;
    for (const ordered_json& j : l) {
        ASSERT_GE(j.size(), 2u);
        EXPECT_EQ("time", std::next(j.begin()).key());
        order += j.begin().key() + "=" + j["event"].get<std::string>() + " ";
    }
    EXPECT_EQ("event=start event=unit event=backup event=verify event=end ", order);
    EXPECT_EQ("2026-12-08T23:14:05.250Z", l[1]["time"]);
    EXPECT_TRUE(l[1]["special"].is_null());
    EXPECT_EQ("Kelder", l[3]["differences"][0]["read"]);
    EXPECT_EQ("failed", l[4]["result"]);
    EXPECT_EQ(9, l[4]["exit"]);
    EXPECT_EQ(2.5, l[4]["duration_s"]);
}

TEST_F(RunEventsTest, ARunThatForgetsItsEndStillEndsAsAFailure)
{
    make();
    events->start("program", "", {"klant12.adn"});
    advance(1500);
    events.reset();
    const std::vector<ordered_json> l = lines();
    ASSERT_EQ(2u, l.size());
    EXPECT_TRUE(l[0]["port"].is_null());
    EXPECT_EQ("end", l[1]["event"]);
    EXPECT_EQ("failed", l[1]["result"]);
    EXPECT_EQ(1, l[1]["exit"]);
    EXPECT_EQ(1.5, l[1]["duration_s"]);

    make();
    events->end(0, "", "", 0.25);
    events.reset();
    const std::vector<ordered_json> ok = lines();
    ASSERT_EQ(1u, ok.size());
    EXPECT_EQ("ok", ok[0]["result"]);
    EXPECT_TRUE(ok[0]["reason"].is_null());
}

TEST_F(RunEventsTest, ProgressComesAtMostOnceASecondPlusAtEachTenthWithItsEta)
{
    make();
    struct Step {
        int64_t atMs, done;
        bool shown;
        int eta; // -1: null
    } steps[] = {
        {0, 0, true, -1},      // the first of a count
        {500, 5, false, 0},    // same tenth, too soon
        {1000, 10, true, 9},   // a new tenth: 90 left at 10 per second
        {1100, 12, false, 0},
        {2000, 15, true, 12},  // a second since the last: 85 at 7.5 per second, rounded up
        {2001, 16, false, 0},
        {2100, 100, true, 0},  // the end is a tenth of its own
    };
    for (const Step& s : steps) {
        mono = 5000 + s.atMs;
        events->progress(s.done, 100, "entries");
    }
    std::vector<ordered_json> l = lines();
    size_t k = 0;
    for (const Step& s : steps) {
        if (!s.shown) continue;
        ASSERT_LT(k, l.size());
        EXPECT_EQ(s.done, l[k]["done"]);
        EXPECT_EQ(100, l[k]["total"]);
        EXPECT_EQ("entries", l[k]["what"]);
        if (s.eta < 0)
            EXPECT_TRUE(l[k]["eta_s"].is_null()) << l[k];
        else
            EXPECT_EQ(s.eta, l[k]["eta_s"]) << l[k];
        ++k;
    }
    EXPECT_EQ(k, l.size());

    // A new count (the image after the settings): 100,000 bytes at a steady
    // 1,000 a second, reported every 10 ms for 100 s.
    for (int64_t done = 0; done <= 100000; done += 10) {
        mono = 100000 + done;
        events->progress(done, 100000, "bytes");
    }
    l = lines();
    ASSERT_FALSE(l.empty());
    EXPECT_EQ(0, l.front()["done"]);
    EXPECT_EQ(100000, l.back()["done"]);
    EXPECT_EQ(101u, l.size()) << "one a second, the tenths among them";
    EXPECT_EQ(50, l[50]["eta_s"]);
}

// A reader that empties the pipe slowly while lines larger than the pipe go
// out: each still arrives whole, never cut or mixed.
TEST_F(RunEventsTest, LinesLargerThanANonBlockingPipeArriveWhole)
{
    ::fcntl(fds[1], F_SETPIPE_SZ, 4096);
    ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
    std::string got;
    std::thread reader([&] {
        char buf[1000];
        for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) {
            got.append(buf, static_cast<size_t>(n));
            ::usleep(200);
        }
    });
    make();
    const std::string reason(100000, 'r');
    for (int i = 0; i < 3; ++i) events->backup(reason + std::to_string(i));
    events->finish(1, "other", reason);
    events.reset();
    ::close(fds[1]);
    fds[1] = -1;
    reader.join();

    std::istringstream in(got);
    int n = 0;
    for (std::string line; std::getline(in, line); ++n) {
        const ordered_json j = ordered_json::parse(line);
        EXPECT_EQ(n < 3 ? reason + std::to_string(n) : reason, j[n < 3 ? "file" : "reason"].get<std::string>());
    }
    EXPECT_EQ(4, n);
}
