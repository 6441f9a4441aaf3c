#include "main/DoctorModem.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>

#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/RPText.h"
#include "main/DoctorProcs.h"

namespace fs = std::filesystem;

namespace {

std::string firstLine(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

}  // namespace

bool DoctorModem::usbIds(const DoctorPlaces& places, const std::string& kernelName, UsbIds* ids)
{
    std::error_code ec;
    const fs::path root = fs::canonical(places.sys, ec);
    if (ec) return false;
    // The tty's device is a USB interface (or below one); the USB device
    // that has the ids is one of its parents.
    fs::path p = fs::canonical(fs::path(places.sys) / "class/tty" / kernelName / "device", ec);
    if (ec) return false;
    for (; !p.empty() && p != root && p != p.root_path(); p = p.parent_path()) {
        if (fs::is_regular_file(p / "idVendor", ec) && fs::is_regular_file(p / "idProduct", ec)) {
            ids->vendor = firstLine(p / "idVendor");
            ids->product = firstLine(p / "idProduct");
            return !ids->vendor.empty() && !ids->product.empty();
        }
    }
    return false;
}

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

std::string DoctorModem::rule(const UsbIds& ids)
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
        UsbIds ids;
        if (!usbIds(places, DoctorPorts::kernelName(port.device), &ids) || ignored(places, port.device)) continue;
        const std::string fix = "echo '" + rule(ids) + "' | sudo tee -a " + RULES_FILE +
                                " && sudo udevadm control --reload && sudo udevadm trigger";
        DoctorCheck c = DoctorCheck::failed(
            "modemmanager", port.device,
            RPText::message("ModemManager draait en onderzoekt %s na het aansluiten (voorbeeld: %s)",
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
