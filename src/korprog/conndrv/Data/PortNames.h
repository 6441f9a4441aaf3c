#ifndef KORPROG_CONNDRV_DATA_PORTNAMES_H
#define KORPROG_CONNDRV_DATA_PORTNAMES_H

#include <string>
#include <vector>

// The serial ports of the machine and the names they go by: the device
// (/dev/ttyUSB3), the names that stay when the adapter moves to another
// socket or another adapter is plugged in first (/dev/serial/by-id/...,
// /dev/serial/by-path/...), and the USB adapter's maker and model as the
// kernel tells them.
class PortNames {
public:
    // Where to look; tests point them at a tree of their own.
    struct Places {
        std::string dev = "/dev";
        std::vector<std::string> linkDirs = {"/dev/serial/by-id", "/dev/serial/by-path"};
        std::string sysTty = "/sys/class/tty";
    };

    struct Port {
        std::string device;              // as found in the device directory; a link given, followed
        std::vector<std::string> names;  // other names of the device: links, sorted
        std::string usb;                 // the adapter, "" when none or not known
    };

    // The serial devices (ttyUSB*, ttyACM*, ttyS*) in dir, as paths: ttyUSB
    // first, then ttyACM, then ttyS, each by number.
    static std::vector<std::string> serialDevices(const std::string& dir);
    // Whether a device of this name (a path, or only its last part) exists
    // only while plugged in: ttyUSB*, ttyACM*.
    static bool pluggable(const std::string& device);

    // The serial devices present, the devices the links in the link
    // directories point to and the devices named in also (a configured
    // port, a simulated unit's terminal), each once, with their names.
    static std::vector<Port> present(const Places& places, const std::vector<std::string>& also = {});
    // The devices the paths name (devices or links to them), in the order
    // first named, each once: a link given is one of its device's names.
    static std::vector<Port> given(const std::vector<std::string>& paths, const Places& places);

    // The USB device a tty belongs to, as the kernel tells it.
    struct Usb {
        std::string vendor, product;  // ids: "0403", "6001"
        std::string maker, model;     // names; "" when not told
    };
    // The USB device of a device (its kernel name, or a link to it); false
    // for a device that is no USB adapter.
    static bool usbOf(const std::string& device, const std::string& sysTty, Usb* usb);
    // The USB adapter of a device: "maker model (vendor:product)" as far as
    // the kernel knows them; "" for a device that is no USB adapter.
    static std::string usbAdapter(const std::string& device, const std::string& sysTty);

    // A port's short name, for output lines of several runs: its device
    // without "/dev/" (ttyUSB3, pts/4); COMn names ttyS(n-1); a name that
    // names no device, its last part; a port across the network, its
    // HOST:PORT.
    static std::string shortName(const std::string& port);
};

#endif
