#include "main/UserDir.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "korprog/AtomicFile.h"
#include "korprog/WholeFile.h"
#include "main/Main.h"

namespace fs = std::filesystem;

namespace {

// Below the data directory these belong to the desktop, not to the program.
const char* const DESKTOP_DIRS[] = {"icons", "applications"};
// A directory holds the program's defaults when it holds this.
const char* const MARKER = "config.csv";

bool holdsDefaults(const fs::path& dir)
{
    std::error_code ec;
    return fs::is_regular_file(dir / MARKER, ec);
}

bool isDesktopDir(const fs::path& relative)
{
    const std::string top = relative.begin() == relative.end() ? "" : relative.begin()->string();
    for (const char* d : DESKTOP_DIRS)
        if (top == d) return true;
    return false;
}

}  // namespace

std::string UserDir::path() { return std::string(Main::_progDataDir) + "/Ombrix/Korvan Tools/Programmer"; }

std::string UserDir::installedData(const std::string& exe)
{
    if (!exe.empty()) {
        const fs::path installed = (fs::path(exe).parent_path() / ".." / "share" / "korprog").lexically_normal();
        if (holdsDefaults(installed)) return installed.string();
    }
#ifdef KORPROG_SOURCE_DATA
    if (holdsDefaults(KORPROG_SOURCE_DATA)) return KORPROG_SOURCE_DATA;
#endif
    return "";
}

std::string UserDir::executable(const char* argv0)
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec && !self.empty()) return self.string();
    const std::string a = argv0 ? argv0 : "";
    // A bare name was found on the PATH: its directory is unknown.
    if (a.find('/') == std::string::npos) return "";
    return fs::absolute(a, ec).string();
}

int UserDir::copyMissing(const std::string& from, const std::string& to, std::string* why)
{
    std::error_code ec;
    int copied = 0;
    fs::recursive_directory_iterator it(from, fs::directory_options::none, ec);
    if (ec) {
        if (why) *why = "cannot read " + from + ": " + ec.message();
        return -1;
    }
    for (const fs::recursive_directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        const fs::path relative = it->path().lexically_relative(from);
        if (isDesktopDir(relative)) {
            if (it->is_directory(ec)) it.disable_recursion_pending();
            continue;
        }
        const fs::path target = fs::path(to) / relative;
        std::error_code absent;  // set for a target not there yet: no failure
        if (it->is_directory(ec)) {
            fs::create_directories(target, ec);
        } else if (it->is_regular_file(ec) && !fs::exists(fs::symlink_status(target, absent))) {
            // Whole or not at all: a cut copy would be the user's file from
            // then on, never replaced; a missing one is tried again next
            // start. The copy is the user's to change (a new file's mode).
            std::string bytes;
            int err = 0;
            AtomicFile out(target.string());
            if (!WholeFile::read(it->path().string(), bytes, &err))
                ec = std::error_code(err, std::generic_category());
            else if (!out.write(bytes.data(), bytes.size()))
                ec = std::error_code(out.error(), std::generic_category());
            else
                ++copied;
        }
        if (ec) {
            if (why) *why = "cannot copy " + it->path().string() + " to " + target.string() + ": " + ec.message();
            return -1;
        }
    }
    if (ec) {
        if (why) *why = "cannot read " + from + ": " + ec.message();
        return -1;
    }
    return copied;
}

bool UserDir::enter(const std::string& exe, std::string* why)
{
    const std::string dir = path();
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec || !fs::is_directory(dir, ec)) {
        if (why) *why = "cannot create " + dir + (ec ? ": " + ec.message() : "");
        return false;
    }
    removeLeftovers(dir);
    const std::string defaults = installedData(exe);
    std::string copyWhy;
    // Without defaults the program still runs; it says what it misses when it needs it.
    const bool filled = defaults.empty() || copyMissing(defaults, dir, &copyWhy) >= 0;
    if (::chdir(dir.c_str()) != 0) {
        if (why) *why = "cannot enter " + dir + ": " + std::error_code(errno, std::generic_category()).message();
        return false;
    }
    if (why) *why = defaults.empty() ? "no installed data found" : filled ? "" : copyWhy;
    return true;
}

int UserDir::removeLeftovers(const std::string& dir)
{
    // Ours are written here and one level down (packs, backups).
    int removed = AtomicFile::removeLeftovers(dir);
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_directory(ec) && !it->is_symlink(ec)) removed += AtomicFile::removeLeftovers(it->path().string());
    return removed;
}

void UserDir::visit()
{
    std::error_code ec;
    const std::string dir = path();
    if (fs::is_directory(dir, ec)) fs::current_path(dir, ec);
}
