#include "main/doctor/DoctorModem.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <fstream>

#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/Translated.h"
#include "main/doctor/DoctorProcs.h"

bool DoctorModem::ignored(const DoctorPlaces& places, const std::string& device)
{
    struct stat st;
    if (::stat(device.c_str(), &st) != 0) return false;
    // udev keeps each device's properties in a file named by its numbers.
    std::ifstream in(places.udevData + "/c" + std::to_string(major(st.st_rdev)) + ":" +
                     std::to_string(minor(st.st_rdev)));
    for (std::string line; std::getline(in, line);)
        if (line == "E:ID_MM_DEVICE_IGNORE=1") return true;
    return false;
}

std::string DoctorModem::rule(const PortNames::Usb& ids)
{
    return "ATTRS{idVendor}==\"" + ids.vendor + "\", ATTRS{idProduct}==\"" + ids.product +
           "\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"";
}

std::vector<DoctorCheck> DoctorModem::check(const DoctorPlaces& places, const std::vector<DoctorPorts::Port>& ports,
                                            const std::string& exampleRule)
{
    std::vector<DoctorCheck> checks;
    if (!DoctorProcs::running(places.proc, "ModemManager")) {
        DoctorCheck c = DoctorCheck::passed("modemmanager", "", gettext("ModemManager draait niet", 0));
        c.facts.flag("running", false);
        checks.push_back(c);
        return checks;
    }
    for (const DoctorPorts::Port& port : ports) {
        PortNames::Usb ids;
        if (!PortNames::usbOf(port.device, places.sys + "/class/tty", &ids) || ignored(places, port.device)) continue;
        const std::string fix = "echo '" + rule(ids) + "' | sudo tee -a " + RULES_FILE +
                                " && sudo udevadm control --reload && sudo udevadm trigger";
        DoctorCheck c = DoctorCheck::failed(
            "modemmanager", port.device,
            Translated::message("ModemManager draait en onderzoekt %s na het aansluiten (voorbeeld: %s)",
                            port.device.c_str(), exampleRule.c_str()),
            fix);
        c.facts.flag("running", true)
            .str("device", port.device)
            .str("vendor", ids.vendor)
            .str("product", ids.product)
            .str("rule", rule(ids))
            .str("example", exampleRule);
        checks.push_back(c);
    }
    if (checks.empty()) {
        DoctorCheck c =
            DoctorCheck::passed("modemmanager", "", gettext("ModemManager draait en laat de aangesloten adapters met rust", 0));
        c.facts.flag("running", true);
        checks.push_back(c);
    }
    return checks;
}
