#include "main/doctor/Doctor.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "korprog/progctrl/Data/ConfigInit.h"
#include "korprog/progctrl/Data/Translated.h"
#include "main/doctor/DoctorHome.h"
#include "main/doctor/DoctorModem.h"
#include "main/doctor/DoctorPorts.h"
#include "main/OptionTable.h"
#include "main/UserDir.h"

namespace fs = std::filesystem;

namespace {

const char* const EXAMPLE_RULE = "99-korprog-modemmanager.rules";

// Installed beside the program's documentation; run from the build tree,
// the source tree's.
std::string exampleRule(const std::string& exe)
{
    std::error_code ec;
    if (!exe.empty()) {
        const fs::path installed =
            (fs::path(exe).parent_path() / ".." / "share/doc/korprog/examples" / EXAMPLE_RULE).lexically_normal();
        if (fs::is_regular_file(installed, ec)) return installed.string();
    }
#ifdef KORPROG_SOURCE_DATA
    const fs::path source = fs::path(KORPROG_SOURCE_DATA).parent_path() / "doc/examples" / EXAMPLE_RULE;
    if (fs::is_regular_file(source, ec)) return source.string();
#endif
    return std::string("/usr/share/doc/korprog/examples/") + EXAMPLE_RULE;
}

std::string oneLine(std::string s)
{
    for (char& c : s)
        if (c == '\n' || c == '\r') c = ' ';
    return s;
}

}  // namespace

std::vector<DoctorCheck> Doctor::checks(const DoctorPlaces& places, const Setup& setup)
{
    std::vector<DoctorCheck> out;
    const std::vector<DoctorPorts::Port> ports = DoctorPorts::present(places, setup.port);
    if (ports.empty()) out.push_back(DoctorPorts::noneFound());
    for (const DoctorPorts::Port& p : ports) {
        out.push_back(DoctorPorts::listed(p));
        const DoctorPorts::Access access = DoctorPorts::accessOf(p.device);
        out.push_back(DoctorPorts::permission(p.device, access));
        out.push_back(DoctorPorts::inUse(places, p.device, access.mayOpen));
    }
    for (DoctorCheck& c : DoctorModem::check(places, ports, setup.exampleRule)) out.push_back(c);
    const std::string suggestion = ports.empty() ? "" : ports[0].names.empty() ? ports[0].device : ports[0].names[0];
    out.push_back(DoctorHome::configuredPort(places, setup.port, setup.portSource, setup.userDir, suggestion));
    out.push_back(DoctorHome::userDir(setup.userDir));
    out.push_back(DoctorHome::dataFiles(setup.userDir, setup.installed));
    out.push_back(DoctorHome::display(setup.display));
    return out;
}

std::string Doctor::line(const DoctorCheck& c)
{
    char head[40];
    std::snprintf(head, sizeof head, "%-4s  %-15s ", !c.ok ? "FAIL" : c.note ? "note" : "ok", c.name.c_str());
    std::string text = c.subject;
    if (!c.subject.empty() && !c.text.empty()) text += ": ";
    text += c.text;
    if (!c.fix.empty()) text += (text.empty() ? "" : "; ") + Translated::message("oplossing: %s", c.fix.c_str());
    return oneLine(head + text);
}

std::string Doctor::json(const DoctorCheck& c)
{
    return JsonLine()
        .str("check", c.name)
        .flag("ok", c.ok)
        .flag("note", c.note)
        .strOrNull("subject", c.subject)
        .str("text", c.text)
        .strOrNull("fix", c.fix)
        .members(c.facts)
        .text();
}

int Doctor::run(int argc, char** argv, FILE* out)
{
    bool asJson = false;
    Setup setup;
    const OptionTable::Option* jsonOption = OptionTable::find("-json");
    const OptionTable::Option* port = OptionTable::find("-port");
    std::string given;
    OptionTable::walk(argc, argv, [&](const OptionTable::Arg& a) {
        if (a.option == jsonOption) asJson = true;
        if (a.option == port && a.missing.empty()) given = a.values[0];
    });
    setup.userDir = UserDir::path();
    // The choice of language and the preferences are read where the program reads them.
    UserDir::visit();
    const ConfigInit::PortChoice choice =
        ConfigInit::choosePort(given, ConfigInit::portIn(setup.userDir + "/" + ConfigInit::fileName()));
    setup.port = choice.port;
    setup.portSource = choice.source;
    const std::string exe = UserDir::executable(argv[0]);
    setup.installed = UserDir::installedData(exe);
    setup.exampleRule = exampleRule(exe);
    const char* display = std::getenv("DISPLAY");
    setup.display = display && *display ? display : nullptr;

    bool allHold = true;
    for (const DoctorCheck& c : checks(DoctorPlaces(), setup)) {
        allHold = allHold && c.ok;
        std::fprintf(out, "%s\n", (asJson ? json(c) : line(c)).c_str());
    }
    std::fflush(out);
    return allHold ? 0 : 1;
}
