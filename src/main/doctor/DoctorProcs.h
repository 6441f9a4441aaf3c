#ifndef MAIN_DOCTOR_DOCTORPROCS_H
#define MAIN_DOCTOR_DOCTORPROCS_H

#include <string>
#include <vector>

// What the process table (/proc) tells about other programs: who holds a
// device open, and whether a program of some name runs.
class DoctorProcs {
public:
    struct Holder {
        int pid;
        std::string name;  // the program's name as the kernel keeps it (comm)
        bool ours;         // it runs as the user asking, who may end it without sudo
    };

    // The processes other than this one with the character device `device`
    // open, by process id. Another user's processes show only to root.
    static std::vector<Holder> holders(const std::string& proc, const std::string& device);

    // A process called `name` runs.
    static bool running(const std::string& proc, const std::string& name);

    // "minicom (pid 4242), picocom (pid 17)"
    static std::string describe(const std::vector<Holder>& holders);
    // The command that ends them: "kill 4242", "sudo kill 17 4242".
    static std::string killCommand(const std::vector<Holder>& holders);
};

#endif
