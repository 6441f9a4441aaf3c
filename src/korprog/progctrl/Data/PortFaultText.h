#ifndef KORPROG_PROGCTRL_DATA_PORTFAULTTEXT_H
#define KORPROG_PROGCTRL_DATA_PORTFAULTTEXT_H

#include <sys/types.h>

#include <string>

#include "korprog/conndrv/Data/Serial.h"

// Why a port could not be opened and what the user can do about it,
// translated: the window's alert, an unattended run's reason, the
// doctor's findings and the list of ports say the same.
class PortFaultText {
public:
    // What is wrong ("COM poort X bestaat niet"), without a full stop; ""
    // when the port opened. `holder`: the run of the program that has it.
    // `reason`: the system's, for a device server out of reach.
    static std::string finding(Serial::OpenFault fault, const char* port, pid_t holder = 0, const char* reason = "");
    // What to do about it, without a full stop; "" when the port opened.
    static std::string remedy(Serial::OpenFault fault);
    // The few words a port's line in a listing says ("bestaat niet"); ""
    // when the port opened.
    static std::string brief(Serial::OpenFault fault, pid_t holder = 0);
    // Both, one line per sentence, as the window's alert says them.
    static std::string full(Serial::OpenFault fault, const char* port, pid_t holder = 0, const char* reason = "");
};

#endif
