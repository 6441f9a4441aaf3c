#ifndef KORPROG_RUNLOG_RUNOPTIONS_H
#define KORPROG_RUNLOG_RUNOPTIONS_H

#include <string>
#include <vector>

// The command line's choices on where a run works and how it proves and
// records itself. Set by MainStartup::handleArgs, put back by RunState::reset.
struct RunOptions {
    // Settings are fetched and saved before an upgrade (-nobackup: not).
    static bool BACKUP;
    // Programmed settings are read back and compared (-noverify: not). The
    // window has its own choice in config.ini.
    static bool VERIFY;
    // JSON Lines events on standard output instead of status text (-json).
    static bool JSON;
    // Only the result line and errors, no progress (-q).
    static bool QUIET;
    // The file each run appends its record to (-report FILE); "" for none.
    static const char* REPORT;
    // The port of this run (-port DEV), over config.ini's and never written
    // into it; "" for none. Several -port options: PORTS holds them all, in
    // order, and the run is a production line of one run per port.
    static const char* PORT;
    static std::vector<std::string> PORTS;
    // -list-ports: list the serial ports and what answers there, and end.
    static bool LIST_PORTS;

    static void reset();
};

#endif
