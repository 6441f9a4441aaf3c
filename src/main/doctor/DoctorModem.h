#ifndef MAIN_DOCTOR_DOCTORMODEM_H
#define MAIN_DOCTOR_DOCTORMODEM_H

#include <string>
#include <vector>

#include "main/doctor/DoctorCheck.h"
#include "main/doctor/DoctorPorts.h"

// ModemManager opens every new USB serial adapter for a while after it is
// plugged in, to see whether a modem answers: meanwhile the port is taken
// and bytes are sent into the unit. A udev rule setting ID_MM_DEVICE_IGNORE
// for the adapter's vendor and product makes it leave that adapter alone.
class DoctorModem {
public:
    // "modemmanager": one line when it does not run or leaves every adapter
    // present alone; otherwise one line for each adapter it would probe,
    // with the rule for it. exampleRule names the example shipped with the
    // program.
    static std::vector<DoctorCheck> check(const DoctorPlaces& places, const std::vector<DoctorPorts::Port>& ports,
                                          const std::string& exampleRule);

    // udev has told ModemManager to leave the device alone.
    static bool ignored(const DoctorPlaces& places, const std::string& device);
    // The udev rule line for an adapter.
    static std::string rule(const PortNames::Usb& ids);
    // Where the fix puts the rule.
    static constexpr const char* RULES_FILE = "/etc/udev/rules.d/99-korprog-modemmanager.rules";
};

#endif
