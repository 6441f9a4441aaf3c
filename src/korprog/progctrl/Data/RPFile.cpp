#include "korprog/progctrl/Data/RPFile.h"

#include <FL/Fl_Preferences.H>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <cstring>
#include <cstdio>
#include <memory>
#include <vector>

#include "bdebug/BAssert.h"
#include "korprog/AtomicFile.h"
#include "korprog/WholeFile.h"
#include "korprog/progctrl/Data/RPFileCheck.h"

namespace fs = std::filesystem;

const char* const RPFile::VENDOR = "RevPacks";
const char* const RPFile::EXTENSION = ".rpa";

namespace {

const char STAGE_PREFIX[] = "korprog-rpa-";

// $XDG_RUNTIME_DIR (per user, emptied at logout), else /tmp.
fs::path stagingRoot()
{
    const char* run = std::getenv("XDG_RUNTIME_DIR");
    std::error_code ec;
    if (run && run[0] == '/' && fs::is_directory(run, ec)) return run;
    return "/tmp";
}

// The process that made a staging directory named PREFIX<pid>-XXXXXX; 0
// for any other name.
pid_t stagingOwner(const std::string& name)
{
    const size_t len = sizeof STAGE_PREFIX - 1;
    if (name.compare(0, len, STAGE_PREFIX) != 0) return 0;
    const size_t dash = name.find('-', len);
    if (dash == std::string::npos || dash == len || dash - len > 9) return 0;
    long pid = 0;
    for (size_t i = len; i < dash; ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        pid = pid * 10 + (name[i] - '0');
    }
    return static_cast<pid_t>(pid);
}

// Reaches a group's node, which holds the entries as stored; the handle
// lets go of it before it is destroyed, so even on the root it never closes
// the database.
struct NodeAccess : Fl_Preferences {
    explicit NodeAccess(const Fl_Preferences& p) : Fl_Preferences(p) {}
    ~NodeAccess() { node = nullptr; }
    Node* get() { return node; }
};

}  // namespace

int RPFile::removeStaleStaging()
{
    int removed = 0;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(stagingRoot(), ec)) {
        const pid_t pid = stagingOwner(e.path().filename().string());
        struct stat st;
        if (pid <= 0 || ::lstat(e.path().c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
            continue;
        // EPERM: alive, someone else's.
        if (::kill(pid, 0) == 0 || errno != ESRCH) continue;
        std::error_code rec;
        fs::remove_all(e.path(), rec);
        if (!rec) ++removed;
    }
    return removed;
}

bool RPFile::readFile(const std::string& path, std::string& out, std::string* why, size_t maxBytes)
{
    int error = 0;
    if (WholeFile::read(path, out, &error, maxBytes)) return true;
    if (why) *why = WholeFile::reason(error, maxBytes);
    return false;
}

RPFile::RPFile() : _prefs(nullptr), _changed(false), _wasRead(false) {}

RPFile::~RPFile() { close(); }

bool RPFile::setUp(const std::string& dir, const std::string& name, const char* extension)
{
    close();
    // A name with a directory part names a pack below (or, absolute, apart
    // from) dir; the database itself only sees the last part.
    const fs::path given(name);
    fs::path where = given.is_absolute() ? given.parent_path() : fs::path(dir) / given.parent_path();
    const std::string base = given.filename().string();
    if (base.empty() || base.size() > MAX_NAME || base == "." || base == "..") {
        B_ERROR("RPFile: unusable pack name \"" << name << "\"");
        return false;
    }

    // Named after this process, so a later start can tell it stale.
    std::string tmpl = (stagingRoot() / (STAGE_PREFIX + std::to_string(::getpid()) + "-XXXXXX")).string();
    if (!::mkdtemp(&tmpl[0])) {
        B_ERROR("RPFile: no staging directory for \"" << name << "\"");
        return false;
    }
    _stageDir = tmpl;
    _dir = where.string();
    _name = base;
    _path = extension ? (where / (base + extension)).string() : std::string();
    _changed = false;
    _wasRead = false;
    // Nothing is staged: the database starts empty.
    _prefs = new Fl_Preferences(_stageDir.c_str(), VENDOR, _name.c_str());
    return true;
}

bool RPFile::load(const std::string& bytes, std::string* why)
{
    RPFileCheck::Sections sections;
    if (!RPFileCheck::parse(bytes, sections, why)) return false;
    // Each value is stored as read, as FLTK's reader stores it; the
    // preferences class decodes it when it is asked for.
    for (const RPFileCheck::Section& s : sections) {
        std::unique_ptr<Fl_Preferences> group;
        if (s.path != ".") group.reset(new Fl_Preferences(*_prefs, s.path.c_str() + 2));
        NodeAccess access(group ? *group : *_prefs);
        for (const auto& e : s.entries) access.get()->set(e.first.c_str(), e.second.c_str());
    }
    _wasRead = true;
    return true;
}

bool RPFile::open(const std::string& dir, const std::string& name, const char* extension)
{
    _fault.clear();
    if (!setUp(dir, name, extension ? extension : EXTENSION)) return false;
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(_path, ec))) return true;
    std::string bytes, why;
    if (!readFile(_path, bytes, &why, RPFileCheck::MAX_FILE)) {
        B_ERROR("RPFile: cannot read " << _path << ": " << why);
        _fault = "cannot be read: " + why;
    } else if (!load(bytes, &why)) {
        B_ERROR("RPFile: " << _path << " is not a revision pack (" << why << ")");
        _fault = "is not a revision pack (" + why + ")";
        // What was filled before the fault goes.
        close();
        setUp(dir, name, extension ? extension : EXTENSION);
    }
    return isOpen();
}

bool RPFile::openBytes(const std::string& bytes, const std::string& name, std::string* why)
{
    if (!setUp("", name, nullptr)) {
        if (why) *why = "no database for " + name;
        return false;
    }
    if (load(bytes, why)) return true;
    close();
    return false;
}

void RPFile::writeTo(FILE* f) const
{
    NodeAccess access(*_prefs);
    std::fprintf(f, "; FLTK preferences file format 1.0\n; vendor: %s\n; application: %s\n", VENDOR, _name.c_str());
    access.get()->write(f);
}

std::string RPFile::text() const
{
    if (!_prefs) return "";
    char* buf = nullptr;
    size_t len = 0;
    FILE* f = ::open_memstream(&buf, &len);
    if (!f) return "";
    writeTo(f);
    std::fclose(f);
    std::string out(buf, len);
    std::free(buf);
    return out;
}

bool RPFile::writePack()
{
    // Written from the database itself, as the preferences class writes
    // its file, but with every write checked: the class does not tell a
    // write that failed, and a pack cut short by a full disk would still
    // carry a checksum of its own.
    AtomicFile out(_path);
    FILE* f = out.open();
    if (f) writeTo(f);
    if (!out.commit()) {
        _writeError = out.error();
        B_ERROR("RPFile: cannot write " << _path << ": " << std::strerror(_writeError));
        return false;
    }
    _changed = false;
    return true;
}

bool RPFile::flush()
{
    if (!_prefs || _path.empty()) return false;
    return _changed ? writePack() : true;
}

void RPFile::close()
{
    if (!_prefs) return;
    if (_changed) flush();
    delete _prefs;  // writes the staged copy only
    _prefs = nullptr;
    std::error_code ec;
    fs::remove_all(_stageDir, ec);
    _stageDir.clear();
    _changed = false;
    _wasRead = false;
}

const char* RPFile::rawValue(const Fl_Preferences& group, const char* key)
{
    if (!key) return nullptr;
    NodeAccess access(group);
    return access.get() ? access.get()->get(key) : nullptr;
}

bool RPFile::deleteEntry(Fl_Preferences& group, const char* key)
{
    if (!key || !group.entryExists(key)) return false;
    NodeAccess access(group);
    Fl_Preferences::Node* nd = access.get();
    struct Kept {
        std::string name, value;
        bool hasValue;
    };
    std::vector<Kept> keep;
    for (int i = 0; i < nd->nEntry(); ++i) {
        const Fl_Preferences::Entry& e = nd->entry(i);
        if (!std::strcmp(e.name, key)) continue;
        keep.push_back({e.name, e.value ? e.value : "", e.value != nullptr});
    }
    group.deleteAllEntries();
    for (const Kept& k : keep) nd->set(k.name.c_str(), k.hasValue ? k.value.c_str() : nullptr);
    return true;
}
