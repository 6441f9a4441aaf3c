#include "main/doctor/DoctorHome.h"

#include <poll.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "helm/platform/BTimerTick.h"
#include "korprog/conndrv/Data/Serial.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/PortFaultText.h"
#include "korprog/progctrl/Data/Translated.h"
#include "main/doctor/DoctorPorts.h"
#include "main/doctor/DoctorProcs.h"

// Last: Xlib defines macros (None, Status) that other headers use as names.
#include <X11/Xlib.h>

namespace fs = std::filesystem;

namespace {

const char* faultName(Serial::OpenFault f)
{
    switch (f) {
    case Serial::OPEN_OK: return "ok";
    case Serial::NO_PORT_NAME: return "no_port_name";
    case Serial::NO_SUCH_PORT: return "no_such_port";
    case Serial::NO_PERMISSION: return "no_permission";
    case Serial::PORT_BUSY: return "busy";
    case Serial::PORT_LOCKED: return "locked";
    case Serial::NOT_A_SERIAL_PORT: return "not_a_serial_port";
    case Serial::NO_CONNECTION: return "no_connection";
    }
    return "";
}

// The directory itself, or before it is made the nearest one above it.
fs::path existingDirOf(fs::path dir)
{
    std::error_code ec;
    while (!dir.empty() && !fs::is_directory(dir, ec) && dir != dir.root_path()) dir = dir.parent_path();
    return dir.empty() ? fs::path("/") : dir;
}

// Whether a new file can be made in dir: the one answer that also holds
// for a read-only mount, an ACL or root. 0, or why not.
int probeWrite(const fs::path& dir)
{
    std::string name = (dir / ".korprog-doctor-XXXXXX").string();
    const int fd = ::mkstemp(&name[0]);
    if (fd < 0) return errno;
    ::close(fd);
    ::unlink(name.c_str());
    return 0;
}

bool readable(const fs::path& file)
{
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return false;
    FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

}  // namespace

std::string DoctorHome::shellQuote(const std::string& path)
{
    std::string q = "'";
    for (char c : path) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string DoctorHome::bytesText(uint64_t bytes)
{
    char text[32];
    if (bytes >= 1000ull * 1000 * 1000)
        std::snprintf(text, sizeof text, "%.1f GB", double(bytes) / 1e9);
    else if (bytes >= 1000ull * 1000)
        std::snprintf(text, sizeof text, "%llu MB", static_cast<unsigned long long>(bytes / (1000 * 1000)));
    else
        std::snprintf(text, sizeof text, "%llu kB", static_cast<unsigned long long>(bytes / 1000));
    return text;
}

namespace {

// What an RFC 2217 server took of the client's requests, once it has
// answered them all (at most NEGOTIATE_MS); "" for a raw TCP port.
std::string negotiate(Serial& serial)
{
    const int64_t end = bMonotonicMs() + DoctorHome::NEGOTIATE_MS;
    char buf[256];
    while (!serial.negotiated() && bMonotonicMs() < end) {
        struct pollfd p = {serial.handle(), POLLIN, 0};
        if (::poll(&p, 1, 50) > 0 && serial.readPort(buf, sizeof buf) < 0 && serial.hungUp()) break;
    }
    return serial.accepted();
}

}  // namespace

DoctorCheck DoctorHome::configuredPort(const DoctorPlaces& places, const std::string& port, const std::string& source,
                                       const std::string& userDir, const std::string& suggestion)
{
    DoctorCheck c;
    if (port.empty()) {
        const std::string line = "comport=" + (suggestion.empty() ? std::string("/dev/ttyUSB0") : suggestion);
        c = DoctorCheck::failed("configured_port", "",
                                PortFaultText::finding(Serial::NO_PORT_NAME, "") + ", " +
                                    PortFaultText::remedy(Serial::NO_PORT_NAME),
                                "echo " + shellQuote(line) + " >> " + shellQuote(userDir + "/config.ini"));
        c.facts.null("port").null("source").str("fault", faultName(Serial::NO_PORT_NAME));
        return c;
    }
    // A look, as -list-ports takes one: a run starting meanwhile waits for it.
    Serial serial;
    serial.lookOnly(true);
    serial.openPort(port.c_str());
    const Serial::OpenFault fault = serial.openFault();
    const std::string accepted = serial.isOpen() ? negotiate(serial) : "";
    serial.closePort();
    char device[Serial::PORTNAME_MAX + 1];
    if (!Serial::devicePath(port.c_str(), device, sizeof device)) device[0] = '\0';
    // A name the port layer takes for none (too long for a port) names no port there is.
    const Serial::OpenFault told = fault == Serial::NO_PORT_NAME ? Serial::NO_SUCH_PORT : fault;
    const std::string finding =
        PortFaultText::finding(told, port.c_str(), serial.lockHolder(), serial.openReason().c_str());
    switch (told) {
    case Serial::OPEN_OK:
        c = DoctorCheck::passed("configured_port", port,
                                Translated::message("COM poort %s gaat open", port.c_str()) +
                                    (serial.peer().empty() ? "" : " (" + serial.peer() + ")") +
                                    (accepted.empty() ? "" : "; " + Translated::message("de server neemt aan: %s",
                                                                                        accepted.c_str())));
        break;
    case Serial::NO_PERMISSION:
        c = DoctorCheck::failed("configured_port", port, finding,
                                DoctorPorts::permission(device, DoctorPorts::accessOf(device)).fix);
        break;
    case Serial::PORT_BUSY: {
        const std::vector<DoctorProcs::Holder> holders = DoctorProcs::holders(places.proc, device);
        c = DoctorCheck::failed("configured_port", port,
                                holders.empty() ? finding : finding + ": " + DoctorProcs::describe(holders),
                                holders.empty() ? "sudo fuser -v " + std::string(device) : DoctorProcs::killCommand(holders));
        break;
    }
    default: c = DoctorCheck::failed("configured_port", port, finding, PortFaultText::remedy(told)); break;
    }
    c.facts.str("port", port).str("source", source).str("fault", faultName(fault));
    if (serial.network())
        c.facts.strOrNull("address", serial.peer())
            .strOrNull("reason", serial.openReason())
            .strOrNull("accepted", accepted);
    return c;
}

DoctorCheck DoctorHome::userDir(const std::string& dir)
{
    std::error_code ec;
    const bool exists = fs::is_directory(dir, ec);
    const fs::path probe = existingDirOf(dir);
    const int err = probeWrite(probe);
    struct statvfs vfs;
    const uint64_t freeBytes =
        ::statvfs(probe.c_str(), &vfs) == 0 ? uint64_t(vfs.f_bavail) * uint64_t(vfs.f_frsize) : 0;
    DoctorCheck c;
    if (err) {
        struct stat st;
        const bool own = ::stat(probe.c_str(), &st) == 0 && st.st_uid == ::getuid();
        c = DoctorCheck::failed("user_dir", dir, Translated::message("niet schrijfbaar: %s", std::strerror(err)),
                                own ? "chmod -R u+w " + shellQuote(probe.string())
                                    : "sudo chown -R $USER: " + shellQuote(probe.string()));
    } else if (freeBytes < MIN_FREE) {
        c = DoctorCheck::failed("user_dir", dir, Translated::message("schrijfbaar, %s vrij", bytesText(freeBytes).c_str()),
                                gettext("maak ruimte vrij op dat bestandssysteem", 0));
    } else {
        c = DoctorCheck::passed("user_dir", dir, Translated::message("schrijfbaar, %s vrij", bytesText(freeBytes).c_str()));
    }
    c.facts.str("path", dir).flag("exists", exists).flag("writable", err == 0).num("free_bytes", int64_t(freeBytes));
    return c;
}

const std::vector<const char*>& DoctorHome::requiredFiles()
{
    // What the program reads from its directory: preferences and type names,
    // the editor's layout, translations, help pages and logo, restrictions.
    static const std::vector<const char*> files = {
        "config.ini",       "config.csv",          "language.csv",          "Startup.html",
        "Startup_UK.html",  "TabRevPacks.html",    "TabRevPacks_UK.html",   "Ombrix_KorProg.gif",
        "RevPacks/SwHwRestrictions.txt",
    };
    return files;
}

DoctorCheck DoctorHome::dataFiles(const std::string& userDir, const std::string& installed)
{
    std::vector<std::string> missing;
    std::vector<std::string> unreadable;  // the user's, in the way of the default
    bool reinstall = false;
    for (const char* f : requiredFiles()) {
        const fs::path own = fs::path(userDir) / f;
        if (readable(own)) continue;
        std::error_code ec;
        const bool inTheWay = fs::exists(fs::symlink_status(own, ec));
        const bool byDefault = !installed.empty() && readable(fs::path(installed) / f);
        if (byDefault && !inTheWay) continue;  // copied at the next start
        missing.push_back(own.string());
        if (inTheWay) unreadable.push_back(shellQuote(own.string()));
        if (!byDefault) reinstall = true;
    }
    DoctorCheck c;
    if (missing.empty()) {
        c = DoctorCheck::passed("data_files", userDir,
                                Translated::message("compleet (%d bestanden)", int(requiredFiles().size())));
    } else {
        std::string list, rm;
        for (const std::string& m : missing) list += (list.empty() ? "" : ", ") + m;
        for (const std::string& u : unreadable) rm += " " + u;
        // A file the user has is never replaced: removed, it comes back from the defaults.
        c = DoctorCheck::failed("data_files", userDir, Translated::message("ontbreekt: %s", list.c_str()),
                                reinstall ? "sudo apt install --reinstall korprog" : "rm -f" + rm);
    }
    c.facts.strOrNull("installed", installed).strings("missing", missing);
    return c;
}

DoctorCheck DoctorHome::display(const char* name)
{
    const std::string shown = name ? name : "";
    Display* d = shown.empty() ? nullptr : XOpenDisplay(shown.c_str());
    DoctorCheck c;
    if (d) {
        XCloseDisplay(d);
        c = DoctorCheck::passed("display", shown, "");
    } else {
        // Only the window needs one: a station that runs unattended passes.
        c = DoctorCheck::noted("display", shown,
                               Translated::message("geen beeldscherm te openen (DISPLAY=%s)", shown.c_str()) + "; " +
                                   Translated::message("onbewaakte runs hebben er geen nodig, het venster wel"));
    }
    c.facts.strOrNull("display", shown);
    return c;
}
