#include "korprog/progctrl/Run/KvctrlValuesLedger.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "korprog/runlog/JsonLine.h"
#include "korprog/runlog/WholeWrite.h"

namespace {

// A field of the line, quoted when it must be.
std::string field(const std::string& s)
{
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string q = "\"";
    for (const char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

}  // namespace

KvctrlValuesLedger::KvctrlValuesLedger(const std::string& valuesFile) : _used(valuesFile + ".used") {}

KvctrlValuesLedger::~KvctrlValuesLedger()
{
    if (_fd >= 0) ::close(_fd);
}

bool KvctrlValuesLedger::open(std::string* why)
{
    if (_fd >= 0) return true;
    _fd = ::open(_used.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    struct stat st;
    if (_fd >= 0 && (::fstat(_fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(_fd);
        _fd = -1;
        errno = EINVAL;
    }
    if (_fd < 0) {
        *why = "cannot keep " + _used + ": " + (errno == EINVAL ? "not a regular file" : std::strerror(errno));
        return false;
    }
    return true;
}

bool KvctrlValuesLedger::lock(int row, short type) const
{
    struct flock fl = {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = row;
    fl.l_len = 1;
    // Per open file, not per process: two ledgers of one process (tests)
    // hold their rows apart too.
    int r;
    while ((r = ::fcntl(_fd, F_OFD_SETLK, &fl)) != 0 && errno == EINTR) {
    }
    return r == 0;
}

std::set<int> KvctrlValuesLedger::used() const
{
    std::set<int> rows;
    if (_fd < 0) return rows;
    // Not while a line is being appended (appendWhole's lock).
    int locked;
    while ((locked = ::flock(_fd, LOCK_SH)) != 0 && errno == EINTR) {
    }
    std::string text;
    char buf[4096];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(_fd, buf, sizeof buf, at);
        if (n <= 0) break;
        text.append(buf, static_cast<size_t>(n));
        at += n;
    }
    if (locked == 0) ::flock(_fd, LOCK_UN);
    // A line counts by its row number; anything else in the file (a note
    // someone added) names no row.
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        int row = 0;
        size_t k = at;
        while (k < end && k - at < 9 && text[k] >= '0' && text[k] <= '9') row = row * 10 + (text[k++] - '0');
        if (k > at && (k == end || text[k] == ',' || text[k] == '\r')) rows.insert(row);
        at = end + 1;
    }
    return rows;
}

bool KvctrlValuesLedger::take(int row) { return _fd >= 0 && row > 0 && lock(row, F_WRLCK); }

void KvctrlValuesLedger::release(int row)
{
    if (_fd >= 0 && row > 0) lock(row, F_UNLCK);
}

bool KvctrlValuesLedger::record(int row, const std::string& imei, const std::string& port, std::string* why)
{
    if (_fd < 0 && !open(why)) return false;
    const std::string line = std::to_string(row) + "," + field(imei) + "," + field(port) + "," +
                             JsonLine::isoTime(JsonLine::wallClockMs()) + "\n";
    // Whole or not at all: a cut line would name a row no unit holds.
    const bool ok = appendWhole(_fd, line);
    const int e = errno;
    if (!ok) *why = std::strerror(e);
    return ok;
}
