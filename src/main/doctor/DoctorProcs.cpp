#include "main/doctor/DoctorProcs.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace {

// The process ids in the process table, in the order it lists them.
std::vector<int> processIds(const std::string& proc)
{
    std::vector<int> pids;
    DIR* d = ::opendir(proc.c_str());
    if (!d) return pids;
    while (const dirent* e = ::readdir(d)) {
        char* end = nullptr;
        const long pid = std::strtol(e->d_name, &end, 10);
        if (pid > 0 && end && *end == '\0') pids.push_back(static_cast<int>(pid));
    }
    ::closedir(d);
    return pids;
}

std::string commandName(const std::string& proc, int pid)
{
    std::ifstream in(proc + "/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

}  // namespace

std::vector<DoctorProcs::Holder> DoctorProcs::holders(const std::string& proc, const std::string& device)
{
    std::vector<Holder> found;
    struct stat dev;
    if (::stat(device.c_str(), &dev) != 0 || !S_ISCHR(dev.st_mode)) return found;
    const int self = static_cast<int>(::getpid());
    for (int pid : processIds(proc)) {
        if (pid == self) continue;
        const std::string fdDir = proc + "/" + std::to_string(pid) + "/fd";
        DIR* d = ::opendir(fdDir.c_str());
        if (!d) continue;  // gone meanwhile, or another user's
        bool holds = false;
        while (const dirent* e = ::readdir(d)) {
            if (e->d_name[0] == '.') continue;
            struct stat st;
            // stat follows the descriptor's link to what it has open.
            if (::stat((fdDir + "/" + e->d_name).c_str(), &st) == 0 && S_ISCHR(st.st_mode) &&
                st.st_rdev == dev.st_rdev) {
                holds = true;
                break;
            }
        }
        ::closedir(d);
        if (!holds) continue;
        struct stat owner;
        const bool ours = ::stat((proc + "/" + std::to_string(pid)).c_str(), &owner) == 0 && owner.st_uid == ::getuid();
        found.push_back({pid, commandName(proc, pid), ours});
    }
    return found;
}

bool DoctorProcs::running(const std::string& proc, const std::string& name)
{
    for (int pid : processIds(proc))
        if (commandName(proc, pid) == name) return true;
    return false;
}

std::string DoctorProcs::describe(const std::vector<Holder>& holders)
{
    std::string text;
    for (const Holder& h : holders)
        text += (text.empty() ? "" : ", ") + h.name + " (pid " + std::to_string(h.pid) + ")";
    return text;
}

std::string DoctorProcs::killCommand(const std::vector<Holder>& holders)
{
    bool others = false;
    std::string pids;
    for (const Holder& h : holders) {
        others = others || !h.ours;
        pids += " " + std::to_string(h.pid);
    }
    return std::string(others ? "sudo kill" : "kill") + pids;
}
