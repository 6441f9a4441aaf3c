// `korprog -doctor` as a user runs it: the built program as a process.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "support/KorprogProcess.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

std::vector<std::string> linesOf(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

std::set<std::string> entries(const std::string& dir)
{
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

}  // namespace

TEST(KorprogDoctor, JsonGivesOneObjectPerCheckAndTheDoctorChangesNothing)
{
    TempDir dir("korprog-doctor");
    const std::string gone = dir.path() + "/ttyUSB9";
    const KorprogRun run = runKorprog(dir.path(), {"-doctor", "-json", "-port", gone}, 20);
    EXPECT_EQ(run.rc, 1) << run.err;
    std::set<std::string> checks;
    json port;
    for (const std::string& line : linesOf(run.out)) {
        const json o = json::parse(line);
        ASSERT_TRUE(o["check"].is_string() && o["ok"].is_boolean() && o["text"].is_string()) << line;
        // Each failed one says what fixes it.
        EXPECT_EQ(o["fix"].is_string(), !o["ok"].get<bool>()) << line;
        checks.insert(o["check"].get<std::string>());
        if (o["check"] == "configured_port") port = o;
    }
    for (const char* c : {"ports", "modemmanager", "configured_port", "user_dir", "data_files", "display"})
        EXPECT_EQ(checks.count(c), 1u) << c;
    EXPECT_EQ(port["ok"], false);
    EXPECT_EQ(port["port"], gone);
    EXPECT_EQ(port["source"], "-port");
    EXPECT_EQ(port["fault"], "no_such_port");
    // No user directory made, no instance lock taken: only what the test
    // caught, beside the lock files of the ports it looked at.
    std::set<std::string> made = entries(dir.path());
    for (auto it = made.begin(); it != made.end();)
        it = it->rfind("korprog-port-", 0) == 0 ? made.erase(it) : std::next(it);
    EXPECT_EQ(made, (std::set<std::string>{"out.txt", "err.txt"}));
}

TEST(KorprogDoctor, LinesSpeakTheUsersLanguageAndCheckThePortOfItsPreferences)
{
    TempDir dir("korprog-doctor");
    const fs::path user = fs::path(dir.path()) / "Ombrix/Korvan Tools/Programmer";
    fs::create_directories(user);
    const std::string gone = dir.path() + "/ttyUSB9";
    TempDir::write((user / "config.ini").string(), "comport=" + gone + "\n");
    TempDir::write((user / "language.ini").string(), "taal=UK\n");
    TempDir::write((user / "language.csv").string(),
                   TempDir::read(std::string(std::getenv("KORPROG_TEST_DATA")) + "/language.csv"));
    const KorprogRun run = runKorprog(dir.path(), {"-doctor"}, 20);
    EXPECT_EQ(run.rc, 1) << run.err;
    const std::vector<std::string> lines = linesOf(run.out);
    auto find = [&](const std::string& start) {
        for (const std::string& l : lines)
            if (l.rfind(start, 0) == 0) return l;
        return std::string();
    };
    EXPECT_EQ(find("FAIL  configured_port"),
              "FAIL  configured_port " + gone + ": COM port " + gone +
                  " does not exist; fix: Check the cable or choose another port under Options");
    EXPECT_EQ(find("ok    user_dir").rfind("ok    user_dir        " + user.string() + ": writable, ", 0), 0u)
        << run.out;
    // Unattended runs need no display: a note, not a failure.
    EXPECT_EQ(find("note  display"), "note  display         no display to open (DISPLAY=); unattended runs need none, "
                                     "the window does");
    EXPECT_EQ(find("FAIL  display"), "");
}
