#include "korprog/runlog/RunReport.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "korprog/runlog/WholeWrite.h"

namespace {

std::string timeOrEmpty(int64_t ms)
{
    return ms > 0 ? JsonLine::isoTime(ms) : std::string();
}

JsonLine& identity(JsonLine& j, const char* key, const std::optional<UnitIdentity>& id)
{
    return id ? j.object(key, id->json()) : j.null(key);
}

// True when the file has bytes and the last is no line end.
bool fail(std::string* error)
{
    if (error) *error = std::strerror(errno);
    return false;
}

} // namespace

std::string RunReport::line() const
{
    JsonLine j;
    j.strOrNull("started", timeOrEmpty(startedMs)).strOrNull("ended", timeOrEmpty(endedMs));
    j.strOrNull("port", port).strOrNull("mode", mode);
    identity(j, "before", before);
    identity(j, "after", after);
    j.strOrNull("settings_file", settingsFile).strOrNull("settings_sha256", settingsSha256);
    j.strOrNull("values_file", valuesFile);
    if (valuesRow > 0)
        j.num("values_row", valuesRow);
    else
        j.null("values_row");
    j.strOrNull("pack", pack).strOrNull("pack_sha256", packSha256);
    j.strOrNull("image", image).strOrNull("image_sha256", imageSha256);
    j.strOrNull("backup", backupFile);
    if (verifyOk)
        j.object("verify", EntryDifference::verdict(*verifyOk, differences, verifyHeldBy));
    else
        j.null("verify");
    j.str("result", exitCode == 0 ? "ok" : "failed").num("exit", exitCode);
    j.strOrNull("kind", kind).strOrNull("reason", reason).real("duration_s", durationS);
    return j.line();
}

bool RunReport::append(const std::string& path, std::string* error) const
{
    // Read access only to look at the last byte; a file we may only write
    // to still takes the record.
    int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return fail(error);
    if (!appendWhole(fd, line())) {
        const int e = errno;
        ::close(fd);
        errno = e;
        return fail(error);
    }
    return ::close(fd) == 0 || fail(error);
}

bool RunReport::usable(const std::string& path, std::string* error)
{
    auto refuse = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    auto reason = [](int e) { return std::string(std::strerror(e)); };
    struct stat link, st;
    if (::lstat(path.c_str(), &link) != 0) {
        if (errno != ENOENT) return refuse(reason(errno));
        // A new file: its directory must take it.
        const size_t slash = path.find_last_of('/');
        const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
        struct stat d;
        if (::stat(dir.c_str(), &d) != 0) return refuse(dir + ": " + reason(errno));
        if (!S_ISDIR(d.st_mode)) return refuse(dir + ": " + reason(ENOTDIR));
        if (::access(dir.c_str(), W_OK | X_OK) != 0) return refuse(dir + ": " + reason(errno));
        return true;
    }
    if (::stat(path.c_str(), &st) != 0) return refuse(reason(errno));
    if (S_ISDIR(st.st_mode)) return refuse(reason(EISDIR));
    if (!S_ISREG(st.st_mode)) return refuse("not a regular file");
    // A link planted to make us append to someone else's file.
    if (S_ISLNK(link.st_mode) && st.st_uid != ::geteuid())
        return refuse("a symbolic link to a file of another user");
    if (::access(path.c_str(), W_OK) != 0) return refuse(reason(errno));
    return true;
}
