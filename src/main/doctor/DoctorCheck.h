#ifndef MAIN_DOCTOR_DOCTORCHECK_H
#define MAIN_DOCTOR_DOCTORCHECK_H

#include <string>

#include "korprog/runlog/JsonLine.h"

// One finding of `korprog -doctor`: what was checked, whether it holds, what
// was found (translated) and, when it does not hold, what fixes it.
struct DoctorCheck {
    std::string name;     // the check: "permission", "in_use", ...; also its JSON name
    bool ok = true;
    bool note = false;    // holds, but is worth knowing (shown as "note")
    std::string subject;  // what was checked (a device, a directory); may be empty
    std::string text;     // what was found
    std::string fix;      // the command that fixes it; empty when it holds
    JsonLine facts;       // the findings for -json, after the common keys

    static DoctorCheck passed(const char* name, const std::string& subject, const std::string& text)
    {
        DoctorCheck c;
        c.name = name;
        c.subject = subject;
        c.text = text;
        return c;
    }
    static DoctorCheck noted(const char* name, const std::string& subject, const std::string& text)
    {
        DoctorCheck c = passed(name, subject, text);
        c.note = true;
        return c;
    }
    static DoctorCheck failed(const char* name, const std::string& subject, const std::string& text,
                              const std::string& fix)
    {
        DoctorCheck c = passed(name, subject, text);
        c.ok = false;
        c.fix = fix;
        return c;
    }
};

// Where the doctor looks; tests point these at directories of their own.
struct DoctorPlaces {
    std::string dev = "/dev";
    std::string sys = "/sys";
    std::string proc = "/proc";
    std::string udevData = "/run/udev/data";
};

#endif
