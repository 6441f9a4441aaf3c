#ifndef MAIN_DOCTOR_DOCTORPORTS_H
#define MAIN_DOCTOR_DOCTORPORTS_H

#include <string>
#include <vector>

#include "korprog/conndrv/Data/PortNames.h"
#include "main/doctor/DoctorCheck.h"

// The serial ports present and what stands between the user and each of
// them: the device's group and mode, and other programs holding it.
class DoctorPorts {
public:
    using Port = PortNames::Port;

    // The serial ports present: USB adapters (ttyUSB, ttyACM), built-in
    // ports with a UART behind them, whatever udev lists under serial/, and
    // the configured port when it is a device (a simulated unit's terminal).
    static std::vector<Port> present(const DoctorPlaces& places, const std::string& configured);

    // "ports": one port and its stable names; or that there is none.
    static DoctorCheck listed(const Port& port);
    static DoctorCheck noneFound();

    // What the permission check decides from.
    struct Access {
        std::string group;    // the device's group
        std::string mode;     // as ls shows it: crw-rw----
        bool mayOpen;         // the user may read and write it now
        bool groupMayOpen;    // the mode gives the group read and write
        bool inGroupNow;      // this login session has the group
        bool inGroupAtLogin;  // the user database gives the user the group (at the next login)
    };
    static Access accessOf(const std::string& device);
    // "permission": may the user open the device, and if not, what fixes it.
    static DoctorCheck permission(const std::string& device, const Access& access);

    // "in_use": other processes holding the device. The device is also
    // opened as the program opens it (exclusively) when the user may, so a
    // holder this user cannot see still shows.
    static DoctorCheck inUse(const DoctorPlaces& places, const std::string& device, bool mayOpen);
};

#endif
