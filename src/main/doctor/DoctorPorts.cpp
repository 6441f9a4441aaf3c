#include "main/doctor/DoctorPorts.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "korprog/conndrv/Data/Serial.h"
#include "korprog/progctrl/Data/ConfigInit.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/PortFaultText.h"
#include "korprog/progctrl/Data/Translated.h"
#include "main/doctor/DoctorProcs.h"

namespace fs = std::filesystem;

namespace {

bool isCharDevice(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

// A ttyS device exists whether or not a UART is behind it; the kernel says
// which it found (type 0: none).
bool hasUart(const DoctorPlaces& places, const std::string& name)
{
    std::ifstream in(places.sys + "/class/tty/" + name + "/type");
    int type = 0;
    return (in >> type) && type != 0;
}

std::string modeText(mode_t m)
{
    std::string s = S_ISCHR(m) ? "c" : S_ISDIR(m) ? "d" : "-";
    const char* rwx = "rwxrwxrwx";
    for (int i = 0; i < 9; ++i) s += (m & (0400 >> i)) ? rwx[i] : '-';
    return s;
}

bool hasGroup(const std::vector<gid_t>& groups, gid_t gid)
{
    return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

std::string loginAgain(const std::string& command)
{
    return command + ", " + gettext("en meld daarna opnieuw aan", 0);
}

}  // namespace

std::vector<DoctorPorts::Port> DoctorPorts::present(const DoctorPlaces& places, const std::string& configured)
{
    PortNames::Places where;
    where.dev = places.dev;
    where.linkDirs = {places.dev + "/serial/by-id", places.dev + "/serial/by-path"};
    where.sysTty = places.sys + "/class/tty";
    std::vector<std::string> also;
    char path[Serial::PORTNAME_MAX + 1];
    if (!configured.empty() && Serial::devicePath(configured.c_str(), path, sizeof path)) also.push_back(path);

    std::vector<Port> ports;
    for (Port& p : PortNames::present(where, also)) {
        const std::string name = fs::path(p.device).filename().string();
        if (!isCharDevice(p.device) || (name.compare(0, 4, "ttyS") == 0 && !hasUart(places, name))) continue;
        ports.push_back(std::move(p));
    }
    return ports;
}

DoctorCheck DoctorPorts::listed(const Port& port)
{
    std::string names;
    for (const std::string& n : port.names) names += (names.empty() ? "" : ", ") + n;
    DoctorCheck c = DoctorCheck::passed("ports", port.device, names.empty() ? "" : Translated::message("ook bekend als %s", names.c_str()));
    c.facts.str("device", port.device).strings("names", port.names);
    return c;
}

DoctorCheck DoctorPorts::noneFound()
{
    DoctorCheck c = DoctorCheck::failed("ports", "", gettext("geen seriële poort gevonden: sluit de adapter aan", 0),
                                        "sudo dmesg | tail");
    c.facts.strings("names", {});
    return c;
}

DoctorPorts::Access DoctorPorts::accessOf(const std::string& device)
{
    Access a{"", "", false, false, false, false};
    struct stat st;
    if (::stat(device.c_str(), &st) != 0) return a;
    const struct group* g = ::getgrgid(st.st_gid);
    a.group = g ? g->gr_name : std::to_string(st.st_gid);
    a.mode = modeText(st.st_mode);
    a.mayOpen = ::access(device.c_str(), R_OK | W_OK) == 0;
    a.groupMayOpen = (st.st_mode & 0060) == 0060;

    std::vector<gid_t> now(static_cast<size_t>(std::max(0, ::getgroups(0, nullptr))));
    now.resize(static_cast<size_t>(std::max(0, ::getgroups(static_cast<int>(now.size()), now.data()))));
    now.push_back(::getegid());
    a.inGroupNow = hasGroup(now, st.st_gid);

    // What a new login would give: the user database, /etc/group or whatever NSS reads.
    if (const struct passwd* pw = ::getpwuid(::getuid())) {
        int n = 64;
        std::vector<gid_t> login(static_cast<size_t>(n));
        if (::getgrouplist(pw->pw_name, pw->pw_gid, login.data(), &n) < 0) {
            login.resize(static_cast<size_t>(n));
            ::getgrouplist(pw->pw_name, pw->pw_gid, login.data(), &n);
        }
        login.resize(static_cast<size_t>(std::max(0, n)));
        a.inGroupAtLogin = hasGroup(login, st.st_gid);
    }
    return a;
}

DoctorCheck DoctorPorts::permission(const std::string& device, const Access& a)
{
    DoctorCheck c;
    if (a.mayOpen)
        c = DoctorCheck::passed("permission", device,
                                Translated::message("groep %s, rechten %s: u mag de poort openen", a.group.c_str(), a.mode.c_str()));
    else if (a.groupMayOpen && a.inGroupAtLogin && !a.inGroupNow)
        c = DoctorCheck::failed("permission", device,
                                Translated::message("u bent lid van groep %s, maar deze aanmelding weet dat nog niet", a.group.c_str()),
                                loginAgain("newgrp " + a.group));
    else if (a.groupMayOpen && !a.inGroupAtLogin)
        c = DoctorCheck::failed("permission", device,
                                Translated::message("groep %s, rechten %s: u bent geen lid van groep %s", a.group.c_str(),
                                                a.mode.c_str(), a.group.c_str()),
                                loginAgain("sudo usermod -aG " + a.group + " $USER"));
    else
        // Until the device comes again: a lasting mode is udev's to give.
        c = DoctorCheck::failed("permission", device,
                                Translated::message("groep %s, rechten %s: u mag de poort niet openen", a.group.c_str(), a.mode.c_str()),
                                "sudo chgrp dialout " + device + " && sudo chmod 660 " + device);
    c.facts.str("device", device)
        .str("group", a.group)
        .str("mode", a.mode)
        .flag("may_open", a.mayOpen)
        .flag("in_group", a.inGroupNow)
        .flag("in_group_at_login", a.inGroupAtLogin);
    return c;
}

DoctorCheck DoctorPorts::inUse(const DoctorPlaces& places, const std::string& device, bool mayOpen)
{
    const std::vector<DoctorProcs::Holder> holders = DoctorProcs::holders(places.proc, device);
    bool busy = false;
    pid_t run = 0;  // a run of this program that has the port
    if (mayOpen) {
        Serial port;
        port.lookOnly(true);
        if (!port.openPort(device.c_str())) {
            busy = port.openFault() == Serial::PORT_BUSY || port.openFault() == Serial::PORT_LOCKED;
            if (port.openFault() == Serial::PORT_LOCKED) run = port.lockHolder();
        }
        port.closePort();
    }
    DoctorCheck c;
    if (run > 0 && holders.empty())
        c = DoctorCheck::failed("in_use", device, Translated::message("in gebruik door KorProg (proces %d)", int(run)),
                                PortFaultText::remedy(Serial::PORT_LOCKED));
    else if (!holders.empty())
        c = DoctorCheck::failed("in_use", device, Translated::message("in gebruik door %s", DoctorProcs::describe(holders).c_str()),
                                DoctorProcs::killCommand(holders));
    else if (busy)
        c = DoctorCheck::failed("in_use", device, gettext("in gebruik door een proces dat u niet kunt zien", 0),
                                "sudo fuser -v " + device);
    else
        c = DoctorCheck::passed("in_use", device, gettext("door geen ander proces in gebruik", 0));
    std::vector<JsonLine> list;
    for (const DoctorProcs::Holder& h : holders) list.push_back(JsonLine().num("pid", h.pid).str("name", h.name));
    c.facts.str("device", device).objects("holders", list).flag("busy", busy || !holders.empty());
    return c;
}
