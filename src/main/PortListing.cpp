#include "main/PortListing.h"

#include <cstdlib>
#include <sstream>

#include "korprog/conndrv/KvcdrvExtSyntax.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/PortFaultText.h"
#include "korprog/progctrl/Data/Translated.h"
#include "korprog/progctrl/States/KvctrlExtSyntax.h"
#include "korprog/protparser/States/KvprotBndToConnDrv.h"

const char* const PortListing::PORTS_VARIABLE = "KORPROG_PORTS";

namespace {

bool decode(const uint8_t* bytes, int nrBytes, UnitIdentity* unit)
{
    CdrvStrEvt* raw = new CdrvStrEvt();
    raw->set(bytes, nrBytes);
    KvctrlStiEvt* sti = KvprotBndToConnDrv::getStatusInfo(raw);
    raw->destroy();
    if (!sti) return false;
    *unit = {sti->type, sti->softw, sti->special, sti->hardw, sti->imei};
    sti->destroy();
    return !unit->type.empty();
}

std::string what(const PortProbe::Result& r)
{
    switch (r.outcome) {
    case PortProbe::ANSWERED:
        return Translated::message("Korvan %s, software %s, IMEI %s", r.unit.type.c_str(), r.unit.software.c_str(),
                               r.unit.imei.empty() ? gettext("geen", 0) : r.unit.imei.c_str());
    case PortProbe::BOOT_LOADER: return gettext("Korvan in de bootloader", 0);
    case PortProbe::SILENT: return gettext("geen Korvan", 0);
    case PortProbe::IN_USE:
    case PortProbe::NOT_OPENED: return PortFaultText::brief(r.fault, r.holder);
    }
    return "";
}

} // namespace

std::string PortListing::line(const PortNames::Port& port, const PortProbe::Result& result)
{
    std::string text = port.device;
    for (const std::string& name : port.names) text += "  " + name;
    if (!port.usb.empty()) text += "  " + port.usb;
    return text + "  " + what(result);
}

int PortListing::run(FILE* out, const PortNames::Places& places)
{
    std::vector<std::string> paths;
    const char* given = std::getenv(PORTS_VARIABLE);
    std::istringstream words(given ? given : "");
    for (std::string w; words >> w;) paths.push_back(w);
    const std::vector<PortNames::Port> ports = given ? PortNames::given(paths, places) : PortNames::present(places);

    std::vector<std::string> devices;
    for (const PortNames::Port& p : ports) devices.push_back(p.device);
    const std::vector<PortProbe::Result> results = PortProbe::probe(devices, decode);
    int listed = 0;
    for (size_t i = 0; i < ports.size(); ++i) {
        // A ttyS device is there whether or not the machine has the port.
        const PortProbe::Result& r = results[i];
        if (!given && r.outcome == PortProbe::NOT_OPENED && !PortNames::pluggable(ports[i].device) &&
            r.fault != Serial::NO_PERMISSION)
            continue;
        std::fprintf(out, "%s\n", line(ports[i], r).c_str());
        ++listed;
    }
    if (listed == 0) std::fprintf(out, "%s\n", gettext("Geen seriële poorten gevonden", 0));
    std::fflush(out);
    return 0;
}
