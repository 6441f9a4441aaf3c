#ifndef MAIN_DOCTOR_DOCTORHOME_H
#define MAIN_DOCTOR_DOCTORHOME_H

#include <cstdint>
#include <string>
#include <vector>

#include "main/doctor/DoctorCheck.h"

// What the program needs besides a port it may open: the port it is told
// to use, its user's directory, its data files and a display.
class DoctorHome {
public:
    // "configured_port": the port the program would use (from `source`:
    // -port, config.ini or KORPROG_COMPORT) is there and opens as the
    // program opens it. userDir and suggestion shape the fix when none is
    // chosen (suggestion: a port present, "" when there is none).
    static DoctorCheck configuredPort(const DoctorPlaces& places, const std::string& port, const std::string& source,
                                      const std::string& userDir, const std::string& suggestion);

    // "user_dir": the user's directory (or, before the first start, the
    // directory it will be made in) takes a new file, with at least
    // MIN_FREE bytes free.
    static DoctorCheck userDir(const std::string& dir);
    static constexpr uint64_t MIN_FREE = 10u * 1000u * 1000u;
    // How long a device server is given to answer the client's requests.
    static constexpr int NEGOTIATE_MS = 2000;

    // "data_files": every file the program needs is readable in the user's
    // directory or among the installed defaults it is copied from at start
    // ("" when none were found).
    static DoctorCheck dataFiles(const std::string& userDir, const std::string& installed);
    static const std::vector<const char*>& requiredFiles();

    // "display": the X display for the window opens; without one, a note
    // (unattended runs need none).
    static DoctorCheck display(const char* name);

    // path as one word for a shell: 'it''s' becomes 'it'\''s'.
    static std::string shellQuote(const std::string& path);
    // 1.2 GB, 340 MB, 12 kB.
    static std::string bytesText(uint64_t bytes);
};

#endif
