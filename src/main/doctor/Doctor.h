#ifndef MAIN_DOCTOR_DOCTOR_H
#define MAIN_DOCTOR_DOCTOR_H

#include <cstdio>
#include <string>
#include <vector>

#include "main/doctor/DoctorCheck.h"

// `korprog -doctor`: checks what stands between the user and a working
// port, one line per check, each failed one with the command that fixes it;
// with -json one JSON object per check instead. Changes nothing: it makes
// no directory, writes no preferences and takes no lock.
class Doctor {
public:
    // What the checks look at besides the machine itself.
    struct Setup {
        std::string port;         // the port the program would use; "" when none is chosen
        std::string portSource;   // where that came from: "-port", "config.ini", "KORPROG_COMPORT"
        std::string userDir;
        std::string installed;    // the installed defaults; "" when none were found
        std::string exampleRule;  // the udev rule example shipped with the program
        const char* display;      // DISPLAY; null when not set
    };

    // Runs every check and writes them to out; 0 when all hold, else 1.
    // Reads -json and -port DEV from the arguments.
    static int run(int argc, char** argv, FILE* out);

    static std::vector<DoctorCheck> checks(const DoctorPlaces& places, const Setup& setup);
    // One line of text, or one JSON object, without the line end.
    static std::string line(const DoctorCheck& check);
    static std::string json(const DoctorCheck& check);
};

#endif
