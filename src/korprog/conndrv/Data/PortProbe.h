#ifndef KORPROG_CONNDRV_DATA_PORTPROBE_H
#define KORPROG_CONNDRV_DATA_PORTPROBE_H

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "korprog/conndrv/Data/Serial.h"
#include "korprog/runlog/RunFacts.h"

// Asks every port at once whether a Korvan answers there: each one opened
// as a look (a port a run has is named, and not touched), a status request
// sent to all, and the answers gathered for at most the time-out, so that
// sixteen ports take as long as one. A port's bytes are cut into messages
// as a connection cuts them (FrameReceiver); what a status record says is
// read by the protocol's parser, which the caller hands in.
class PortProbe {
public:
    // Reads a status record (a whole frame) into unit; false when it holds none.
    typedef std::function<bool(const uint8_t* frame, int size, UnitIdentity* unit)> StatusDecoder;

    static const int TIMEOUT_MS = 1000;

    enum Outcome {
        ANSWERED,     // a unit sent its status record
        BOOT_LOADER,  // a unit in its boot loader asked for boot data
        SILENT,       // nothing answered within the time-out
        IN_USE,       // a run of ours (holder) or another program has the port
        NOT_OPENED    // the port could not be opened (fault)
    };
    struct Result {
        Outcome outcome = SILENT;
        Serial::OpenFault fault = Serial::OPEN_OK;
        pid_t holder = 0;
        UnitIdentity unit;
    };

    // One result per device, in order.
    static std::vector<Result> probe(const std::vector<std::string>& devices, const StatusDecoder& decode,
                                     int timeoutMs = TIMEOUT_MS);
};

#endif
