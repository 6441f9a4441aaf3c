#ifndef MAIN_PORTLISTING_H
#define MAIN_PORTLISTING_H

#include <cstdio>
#include <string>

#include "korprog/conndrv/Data/PortNames.h"
#include "korprog/conndrv/Data/PortProbe.h"

// korprog -list-ports: the serial ports present, one a line, with the names
// that stay theirs, the USB adapter, and whether a Korvan answers there.
class PortListing {
public:
    // The paths to list instead of the machine's ports (tests, and a
    // workshop that names its ports), separated by white space.
    static const char* const PORTS_VARIABLE;

    // Lists the ports on out; the exit code (0).
    static int run(FILE* out, const PortNames::Places& places = PortNames::Places());
    // One port's line, without its line end.
    static std::string line(const PortNames::Port& port, const PortProbe::Result& result);
};

#endif
