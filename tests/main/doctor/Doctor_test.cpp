#include "main/doctor/Doctor.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "korprog/conndrv/Data/PortLock.h"
#include "main/doctor/DoctorHome.h"
#include "main/doctor/DoctorModem.h"
#include "main/doctor/DoctorPorts.h"
#include "support/KvPty.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

const uid_t NOBODY = 65534;
const gid_t NOGROUP = 65534;

void writeFile(const fs::path& p, const std::string& text)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

// Runs body in a child with other ids and no supplementary groups; what it
// returns comes back. Only root can take other ids.
std::string asUser(uid_t uid, gid_t gid, const std::function<std::string()>& body)
{
    int fds[2];
    if (::pipe(fds) != 0) return "pipe failed";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) ::_exit(99);
        const std::string out = body();
        (void)!::write(fds[1], out.data(), out.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string out;
    char buf[512];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
    ::close(fds[0]);
    ::waitpid(pid, nullptr, 0);
    return out;
}

std::string summary(const DoctorCheck& c) { return std::string(c.ok ? "ok" : "FAIL") + "|" + c.text + "|" + c.fix; }

// Another program holding the port as a second KorProg would: open and
// locked; the test's own process is never counted, so the holder runs
// `sleep` with the port as its input.
class Holder {
public:
    explicit Holder(const std::string& device)
    {
        _pid = ::fork();
        if (_pid == 0) {
            const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY);
            if (fd < 0 || ::flock(fd, LOCK_EX) != 0 || ::dup2(fd, 0) < 0) ::_exit(98);
            ::execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
            ::_exit(97);
        }
        // Until it runs as sleep with the port open.
        for (int i = 0; i < 500 && !holds(device); ++i) ::usleep(10000);
    }
    ~Holder() { stop(); }
    void stop()
    {
        if (_pid <= 0) return;
        ::kill(_pid, SIGKILL);
        ::waitpid(_pid, nullptr, 0);
        _pid = -1;
    }
    pid_t pid() const { return _pid; }

private:
    bool holds(const std::string& device) const
    {
        std::ifstream comm("/proc/" + std::to_string(_pid) + "/comm");
        std::string name;
        std::getline(comm, name);
        struct stat a, b;
        const std::string in = "/proc/" + std::to_string(_pid) + "/fd/0";
        return name == "sleep" && ::stat(in.c_str(), &a) == 0 && ::stat(device.c_str(), &b) == 0 &&
               a.st_rdev == b.st_rdev;
    }
    pid_t _pid = -1;
};

}  // namespace

TEST(Doctor, APortHeldByAnotherProgramNamesItAndItsProcessId)
{
    KvPty pty;
    ASSERT_FALSE(pty.name.empty());
    DoctorPlaces places;
    TempDir home("korprog-doctor");
    {
        Holder holder(pty.name);
        const std::string pid = std::to_string(holder.pid());
        EXPECT_EQ(summary(DoctorPorts::inUse(places, pty.name, true)),
                  "FAIL|in gebruik door sleep (pid " + pid + ")|kill " + pid);
        EXPECT_EQ(summary(DoctorHome::configuredPort(places, pty.name, "config.ini", home.path(), "")),
                  "FAIL|COM poort " + pty.name + " is in gebruik door een ander programma: sleep (pid " + pid +
                      ")|kill " + pid);
        const std::string json = Doctor::json(DoctorPorts::inUse(places, pty.name, true));
        EXPECT_NE(json.find("\"holders\":[{\"pid\":" + pid + ",\"name\":\"sleep\"}]"), std::string::npos) << json;
    }
    EXPECT_EQ(summary(DoctorPorts::inUse(places, pty.name, true)), "ok|door geen ander proces in gebruik|");
    EXPECT_EQ(summary(DoctorHome::configuredPort(places, pty.name, "config.ini", home.path(), "")),
              "ok|COM poort " + pty.name + " gaat open|");
}

TEST(Doctor, APortARunHasNamesTheRunAndIsNeverTakenFromIt)
{
    KvPty pty;
    ASSERT_FALSE(pty.name.empty());
    TempDir runtime("korprog-doctor-run"), home("korprog-doctor");
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    {
        // The run: the port's lock as a run of the program takes it.
        PortLock run;
        ASSERT_EQ(run.take(pty.name.c_str(), true), PortLock::TAKEN);
        const std::string pid = std::to_string(::getpid());
        const std::string wait = "Wacht tot die klaar is of kies een andere poort via Opties";
        EXPECT_EQ(summary(DoctorHome::configuredPort(DoctorPlaces(), pty.name, "config.ini", home.path(), "")),
                  "FAIL|COM poort " + pty.name + " is in gebruik door KorProg (proces " + pid + ")|" + wait);
        EXPECT_EQ(summary(DoctorPorts::inUse(DoctorPlaces(), pty.name, true)),
                  "FAIL|in gebruik door KorProg (proces " + pid + ")|" + wait);
        EXPECT_TRUE(run.held());
    }
    EXPECT_EQ(summary(DoctorPorts::inUse(DoctorPlaces(), pty.name, true)), "ok|door geen ander proces in gebruik|");
    ::unsetenv("XDG_RUNTIME_DIR");
}

TEST(Doctor, AMissingOrUnchosenConfiguredPortSaysWhatToDo)
{
    TempDir home("korprog-doctor");
    const std::string gone = home.path() + "/unplugged";
    EXPECT_EQ(summary(DoctorHome::configuredPort(DoctorPlaces(), gone, "config.ini", home.path(), "")),
              "FAIL|COM poort " + gone + " bestaat niet|Controleer de kabel of kies een andere poort via Opties");
    // None chosen: the fix writes the first port present into the preferences.
    const DoctorCheck none =
        DoctorHome::configuredPort(DoctorPlaces(), "", "config.ini", home.path() + "/it's", "/dev/serial/by-id/usb-FTDI");
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.fix, "echo 'comport=/dev/serial/by-id/usb-FTDI' >> '" + home.path() + "/it'\\''s/config.ini'");
}

// Each way a user may not open a device, arranged as root for a user
// without rights, and the fix each one needs.
TEST(Doctor, APortTheUserMayNotOpenGetsTheFixForItsCause)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the device to another group";
    KvPty pty;
    ASSERT_FALSE(pty.name.empty());
    const struct group* dialout = ::getgrnam("dialout");
    ASSERT_NE(dialout, nullptr);
    auto give = [&](gid_t group, mode_t mode) {
        EXPECT_EQ(::chown(pty.name.c_str(), 0, group), 0);
        EXPECT_EQ(::chmod(pty.name.c_str(), mode), 0);
    };
    auto check = [&](gid_t gid) {
        return asUser(NOBODY, gid, [&] {
            return summary(DoctorPorts::permission(pty.name, DoctorPorts::accessOf(pty.name)));
        });
    };
    give(dialout->gr_gid, 0660);
    EXPECT_EQ(check(NOGROUP), "FAIL|groep dialout, rechten crw-rw----: u bent geen lid van groep dialout|"
                              "sudo usermod -aG dialout $USER, en meld daarna opnieuw aan");
    // The configured port's line gives the same fix.
    EXPECT_EQ(asUser(NOBODY, NOGROUP,
                     [&] { return summary(DoctorHome::configuredPort(DoctorPlaces(), pty.name, "-port", "/", "")); }),
              "FAIL|Geen toegang tot COM poort " + pty.name +
                  "|sudo usermod -aG dialout $USER, en meld daarna opnieuw aan");
    EXPECT_EQ(check(dialout->gr_gid), "ok|groep dialout, rechten crw-rw----: u mag de poort openen|");
    // In the group for the next login, not in this one's (the group was
    // added since it began).
    give(NOGROUP, 0660);
    EXPECT_EQ(check(12345), "FAIL|u bent lid van groep nogroup, maar deze aanmelding weet dat nog niet|"
                            "newgrp nogroup, en meld daarna opnieuw aan");
    give(dialout->gr_gid, 0600);
    EXPECT_EQ(check(dialout->gr_gid), "FAIL|groep dialout, rechten crw-------: u mag de poort niet openen|"
                                      "sudo chgrp dialout " + pty.name + " && sudo chmod 660 " + pty.name);
}

TEST(Doctor, AUserDirectoryThatTakesNoFileSaysWhoCanMendIt)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as a user without rights";
    TempDir scratch("korprog-doctor");
    fs::permissions(scratch.path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    const std::string own = scratch.path() + "/own", roots = scratch.path() + "/roots";
    fs::create_directories(own);
    fs::create_directories(roots);
    ASSERT_EQ(::chown(own.c_str(), NOBODY, NOGROUP), 0);
    auto check = [&](const std::string& dir) { return asUser(NOBODY, NOGROUP, [&] { return summary(DoctorHome::userDir(dir)); }); };

    // The user's own directory made read-only, and one that belongs to root.
    fs::permissions(own, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(check(own), "FAIL|niet schrijfbaar: Permission denied|chmod -R u+w '" + own + "'");
    EXPECT_EQ(check(roots), "FAIL|niet schrijfbaar: Permission denied|sudo chown -R $USER: '" + roots + "'");
    // Before the first start it is made where the user may write.
    fs::permissions(own, fs::perms::owner_all);
    const std::string later = check(own + "/Ombrix/Korvan Tools/Programmer");
    EXPECT_EQ(later.substr(0, 16), "ok|schrijfbaar, ") << later;
    EXPECT_TRUE(fs::is_empty(own)) << "the check leaves nothing behind";
}

TEST(Doctor, DataFilesAreCompleteWhenTheUserOrTheDefaultsHoldEach)
{
    TempDir scratch("korprog-doctor");
    const fs::path user = fs::path(scratch.path()) / "user", share = fs::path(scratch.path()) / "share";
    for (const char* f : DoctorHome::requiredFiles()) writeFile(share / f, "default");
    writeFile(user / "config.csv", "the user's");
    EXPECT_TRUE(DoctorHome::dataFiles(user, share).ok) << "the others are copied at the next start";

    // One the user has but cannot be read stands in the way of the default.
    fs::create_symlink(user / "nowhere", user / "language.csv");
    EXPECT_EQ(summary(DoctorHome::dataFiles(user, share)),
              "FAIL|ontbreekt: " + (user / "language.csv").string() + "|rm -f '" + (user / "language.csv").string() + "'");
    // Without the defaults only a new installation brings them back.
    const DoctorCheck none = DoctorHome::dataFiles(user, "");
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.fix, "sudo apt install --reinstall korprog");
    EXPECT_NE(none.text.find("Startup.html"), std::string::npos) << none.text;
}

// A USB adapter as udev and the kernel show it, in directories of the
// test's own: its device, its stable name, its USB ids and udev's record.
class DoctorAdapterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(pty.name.empty());
        const fs::path root = scratch.path();
        places.dev = (root / "dev").string();
        places.sys = (root / "sys").string();
        places.proc = (root / "proc").string();
        places.udevData = (root / "udev").string();
        fs::create_directories(root / "dev/serial/by-id");
        fs::create_directories(places.proc);
        fs::create_directories(places.udevData);
        device = places.dev + "/ttyUSB0";
        fs::create_symlink(pty.name, device);
        fs::create_symlink("../../ttyUSB0", root / "dev/serial/by-id/usb-FTDI_FT232R_A1B2-if00-port0");
        const fs::path usb = root / "sys/devices/usb1/1-1";
        writeFile(usb / "idVendor", "0403\n");
        writeFile(usb / "idProduct", "6001\n");
        fs::create_directories(usb / "1-1:1.0/ttyUSB0");
        fs::create_directories(root / "sys/class/tty/ttyUSB0");
        fs::create_symlink(usb / "1-1:1.0/ttyUSB0", root / "sys/class/tty/ttyUSB0/device");
        struct stat st;
        ASSERT_EQ(::stat(pty.name.c_str(), &st), 0);
        udevRecord = places.udevData + "/c" + std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
        writeFile(udevRecord, "E:ID_VENDOR_ID=0403\n");
    }
    void modemManagerRuns() { writeFile(fs::path(places.proc) / "812/comm", "ModemManager\n"); }

    KvPty pty;
    TempDir scratch{"korprog-doctor"};
    DoctorPlaces places;
    std::string device, udevRecord;
};

TEST_F(DoctorAdapterTest, AnAdapterIsListedOnceWithItsStableName)
{
    // Also when it is the configured port, by its stable name.
    const std::string byId = places.dev + "/serial/by-id/usb-FTDI_FT232R_A1B2-if00-port0";
    const std::vector<DoctorPorts::Port> ports = DoctorPorts::present(places, byId);
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].device, device);
    EXPECT_EQ(ports[0].names, std::vector<std::string>{byId});
    EXPECT_EQ(Doctor::line(DoctorPorts::listed(ports[0])), "ok    ports           " + device + ": ook bekend als " + byId);
    // A simulated unit's terminal, configured by its path, is a port too.
    EXPECT_EQ(DoctorPorts::present(DoctorPlaces{places.dev + "/none", places.sys, places.proc, places.udevData},
                                   pty.name)
                  .size(),
              1u);
}

TEST_F(DoctorAdapterTest, ModemManagerGetsARuleForEachAdapterItWouldProbe)
{
    auto checks = [&] { return DoctorModem::check(places, DoctorPorts::present(places, ""), "/ex.rules"); };
    ASSERT_EQ(checks().size(), 1u);
    EXPECT_EQ(summary(checks()[0]), "ok|ModemManager draait niet|");

    modemManagerRuns();
    ASSERT_EQ(checks().size(), 1u);
    EXPECT_EQ(summary(checks()[0]),
              "FAIL|ModemManager draait en onderzoekt " + device + " na het aansluiten (voorbeeld: /ex.rules)|"
              "echo 'ATTRS{idVendor}==\"0403\", ATTRS{idProduct}==\"6001\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"' | "
              "sudo tee -a /etc/udev/rules.d/99-korprog-modemmanager.rules && sudo udevadm control --reload && "
              "sudo udevadm trigger");

    writeFile(udevRecord, "E:ID_VENDOR_ID=0403\nE:ID_MM_DEVICE_IGNORE=1\n");
    EXPECT_EQ(summary(checks()[0]), "ok|ModemManager draait en laat de aangesloten adapters met rust|");
}

TEST_F(DoctorAdapterTest, EveryCheckHoldsForAnAdapterReadyToUse)
{
    const std::string user = scratch.path() + "/user";
    const char* data = std::getenv("KORPROG_TEST_DATA");
    ASSERT_NE(data, nullptr);
    const char* display = std::getenv("DISPLAY");
    const Doctor::Setup setup{device, "config.ini", user, data, "/ex.rules", display};
    std::vector<std::string> failed, noted;
    for (const DoctorCheck& c : Doctor::checks(places, setup)) {
        if (!c.ok) failed.push_back(Doctor::line(c));
        if (c.note) noted.push_back(Doctor::line(c));
    }
    // A station without a display passes: only the window needs one.
    EXPECT_EQ(failed, std::vector<std::string>{});
    if (!display)
        EXPECT_EQ(noted, std::vector<std::string>{"note  display         geen beeldscherm te openen (DISPLAY=); "
                                                  "onbewaakte runs hebben er geen nodig, het venster wel"});
    else
        EXPECT_EQ(noted, std::vector<std::string>{});
}
