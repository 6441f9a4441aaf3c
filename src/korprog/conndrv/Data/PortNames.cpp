#include "korprog/conndrv/Data/PortNames.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "korprog/conndrv/Data/NetAddress.h"
#include "korprog/conndrv/Data/Serial.h"

namespace fs = std::filesystem;

namespace {

// The serial device families, in the order they are listed: the adapters a
// user plugs in before the ports built into the machine.
const char* const FAMILIES[] = {"ttyUSB", "ttyACM", "ttyS"};
const int PLUGGABLE_FAMILIES = 2;

// Family index and number of a device name such as ttyUSB3; false for
// names that are not a family prefix followed by digits only.
bool deviceKey(const std::string& name, int* family, long* number)
{
    for (int f = 0; f < 3; ++f) {
        const size_t len = std::strlen(FAMILIES[f]);
        if (name.compare(0, len, FAMILIES[f]) != 0) continue;
        const std::string digits = name.substr(len);
        if (digits.empty() || digits.size() > 6 || digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        *family = f;
        *number = std::stol(digits);
        return true;
    }
    return false;
}

std::string resolved(const std::string& path)
{
    std::error_code ec;
    const fs::path p = fs::canonical(path, ec);
    return ec ? path : p.string();
}

std::string firstLine(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
    return line;
}

// The port of a device, known by any of its names: a device is listed once,
// by the name it was first found under.
PortNames::Port& portOf(std::vector<PortNames::Port>& ports, const std::string& device)
{
    const std::string target = resolved(device);
    for (PortNames::Port& p : ports)
        if (p.device == device || resolved(p.device) == target) return p;
    ports.push_back({device, {}, {}});
    return ports.back();
}

void addName(PortNames::Port& port, const std::string& name)
{
    if (name != port.device && std::find(port.names.begin(), port.names.end(), name) == port.names.end())
        port.names.push_back(name);
}

// The links of the link directories, with the devices they point to.
std::vector<std::pair<std::string, std::string>> links(const PortNames::Places& places)
{
    std::vector<std::pair<std::string, std::string>> found;
    for (const std::string& dir : places.linkDirs) {
        std::error_code ec;
        for (const fs::directory_entry& e : fs::directory_iterator(dir, ec))
            found.emplace_back(e.path().string(), resolved(e.path().string()));
    }
    std::sort(found.begin(), found.end());
    return found;
}

void complete(std::vector<PortNames::Port>& ports, const PortNames::Places& places)
{
    const auto all = links(places);
    for (PortNames::Port& p : ports) {
        const std::string target = resolved(p.device);
        for (const auto& [link, device] : all)
            if (device == target) addName(p, link);
        std::sort(p.names.begin(), p.names.end());
        p.usb = PortNames::usbAdapter(p.device, places.sysTty);
    }
}

} // namespace

std::vector<std::string> PortNames::serialDevices(const std::string& dir)
{
    struct Found {
        int family;
        long number;
        std::string name;
    };
    std::vector<Found> found;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) {
        Found f;
        f.name = e.path().filename().string();
        if (deviceKey(f.name, &f.family, &f.number)) found.push_back(f);
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.family != b.family ? a.family < b.family : a.number != b.number ? a.number < b.number : a.name < b.name;
    });
    std::vector<std::string> paths;
    for (const Found& f : found) paths.push_back(dir + "/" + f.name);
    return paths;
}

bool PortNames::pluggable(const std::string& device)
{
    int family = -1;
    long number = 0;
    return deviceKey(fs::path(device).filename().string(), &family, &number) && family < PLUGGABLE_FAMILIES;
}

std::vector<PortNames::Port> PortNames::present(const Places& places, const std::vector<std::string>& also)
{
    std::vector<Port> ports;
    for (const std::string& d : serialDevices(places.dev)) portOf(ports, d);
    for (const std::string& d : also)
        if (!d.empty()) portOf(ports, d);
    // An adapter of a family not scanned still has its stable names.
    for (const auto& link : links(places)) portOf(ports, link.second);
    complete(ports, places);
    return ports;
}

std::vector<PortNames::Port> PortNames::given(const std::vector<std::string>& paths, const Places& places)
{
    std::vector<Port> ports;
    for (const std::string& path : paths) {
        if (path.empty()) continue;
        addName(portOf(ports, resolved(path)), path);
    }
    complete(ports, places);
    return ports;
}

bool PortNames::usbOf(const std::string& device, const std::string& sysTty, Usb* usb)
{
    // The tty's device is an interface of the USB device that carries the
    // ids and the names, a few levels up.
    std::string name = fs::path(device).filename().string();
    std::error_code ec;
    if (!fs::exists(fs::path(sysTty) / name, ec)) name = fs::path(resolved(device)).filename().string();
    fs::path at = fs::canonical(fs::path(sysTty) / name / "device", ec);
    for (int up = 0; !ec && up < 6 && at.has_relative_path(); ++up, at = at.parent_path()) {
        if (!fs::exists(at / "idVendor", ec)) continue;
        *usb = {firstLine(at / "idVendor"), firstLine(at / "idProduct"), firstLine(at / "manufacturer"),
                firstLine(at / "product")};
        return !usb->vendor.empty() && !usb->product.empty();
    }
    return false;
}

std::string PortNames::usbAdapter(const std::string& device, const std::string& sysTty)
{
    Usb usb;
    if (!usbOf(device, sysTty, &usb)) return "";
    std::string text = usb.maker;
    if (!usb.model.empty()) text += (text.empty() ? "" : " ") + usb.model;
    const std::string ids = usb.vendor + ":" + usb.product;
    return text.empty() ? ids : text + " (" + ids + ")";
}

std::string PortNames::shortName(const std::string& port)
{
    NetAddress address;
    if (address.parse(port.c_str())) return address.hostPort();
    char path[Serial::PORTNAME_MAX + 1];
    const std::string device = resolved(Serial::devicePath(port.c_str(), path, sizeof path) ? path : port);
    if (device.compare(0, 5, "/dev/") == 0 && device.size() > 5) return device.substr(5);
    return fs::path(device).filename().string();
}
