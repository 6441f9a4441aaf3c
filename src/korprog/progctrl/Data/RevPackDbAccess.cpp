// Access to the open pack: its groups and entries, through the preferences
// database of RPFile; and whether a block of bytes in it is whole.

#include <FL/Fl_Preferences.H>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bdebug/BAssert.h"
#include "korprog/progctrl/Data/RPFile.h"
#include "korprog/progctrl/Data/RPFileCheck.h"
#include "korprog/progctrl/Data/Translated.h"
#include "korprog/progctrl/Data/RevPackDb.h"

namespace fs = std::filesystem;

// --- access to the open pack ---

std::unique_ptr<Fl_Preferences> RevPackDb::group(const char* name) const
{
    if (!_db->isOpen() || !RPFileCheck::groupNameOk(name)) return nullptr;
    return std::unique_ptr<Fl_Preferences>(new Fl_Preferences(*_db->root(), name));
}

bool RevPackDb::writable(const char* group, const char* key) const
{
    if (!_db->isOpen()) return false;
    if (!RPFileCheck::groupNameOk(group) || !RPFileCheck::entryNameOk(key)) {
        B_ERROR("not stored: [" << (group ? group : "") << "] " << (key ? key : ""));
        return false;
    }
    return true;
}

bool RevPackDb::remGrp(const char* name)
{
    if (!_db->isOpen() || !RPFileCheck::groupNameOk(name)) return false;
    // The open handles must stay valid.
    for (const char* held : {GENERAL, TYPELIST, BINLIST, HWSWLIST})
        if (!std::strcmp(name, held)) {
            B_ERROR("group " << name << " is in use; not removed");
            return false;
        }
    if (_binList) RPFile::deleteEntry(*_binList, name);
    _db->root()->deleteGroup(name);
    _db->changed();
    return true;
}

bool RevPackDb::setGrp(const char* name)
{
    if (!group(name)) return false;
    _db->changed();
    return true;
}

bool RevPackDb::grpExist(const char* name) const
{
    if (!_db->isOpen() || !name) return false;
    Fl_Preferences* root = _db->root();
    for (int i = 0; i < root->groups(); ++i)
        if (!std::strcmp(root->group(i), name)) return true;
    return false;
}

int RevPackDb::nrEntries(const char* name)
{
    auto g = group(name);
    return g ? g->entries() : 0;
}

bool RevPackDb::entryExist(const char* name, const char* key) const
{
    if (!key || !grpExist(name)) return false;
    auto g = group(name);
    return g && g->entryExists(key);
}

bool RevPackDb::setEntry(const char* name, const char* key, const char* text)
{
    if (!writable(name, key)) return false;
    group(name)->set(key, text ? text : "");
    _db->changed();
    return true;
}

bool RevPackDb::setEntry(const char* name, const char* key, int value)
{
    if (!writable(name, key)) return false;
    group(name)->set(key, value);
    _db->changed();
    return true;
}

bool RevPackDb::setEntry(const char* name, const char* key, const void* data, int size)
{
    if (size < 0 || (size > 0 && !data) || !writable(name, key)) return false;
    group(name)->set(key, data, size);
    _db->changed();
    return true;
}

const char* RevPackDb::getEntry(const char* name, int ix)
{
    auto g = group(name);
    if (!g || ix < 0 || ix >= g->entries()) return "";
    const char* e = g->entry(ix);
    return e ? e : "";
}

bool RevPackDb::getEntry(const char* name, const char* key, char* text)
{
    auto g = group(name);
    if (!g || !key) {
        std::snprintf(text, MAX_TXT_LEN, "%s", "none");
        return false;
    }
    return g->get(key, text, "none", MAX_TXT_LEN) != 0;
}

bool RevPackDb::getEntry(const char* name, const char* key, int& value)
{
    value = DFLT_INT;
    auto g = group(name);
    return g && key && g->get(key, value, DFLT_INT) != 0;
}

bool RevPackDb::getEntry(const char* name, const char* key, void* data, int size)
{
    if (size <= 0 || !data) return false;
    std::memset(data, 0, static_cast<size_t>(size));
    auto g = group(name);
    return g && key && g->get(key, data, nullptr, 0, size) != 0;
}

bool RevPackDb::delEntry(const char* name, const char* key)
{
    if (!key) return false;
    auto g = group(name);
    if (!g || !RPFile::deleteEntry(*g, key)) return false;
    _db->changed();
    return true;
}

std::string RevPackDb::dbPath() const
{
    if (!_db->isOpen()) return "";
    return (fs::path(_db->dir()) / _db->name()).string() + "/";
}

bool RevPackDb::flush() { return _db->isOpen() && _db->flush(); }

void RevPackDb::clearDb()
{
    // The group handles go before the database they point into.
    delete _gen;
    delete _typeList;
    delete _binList;
    delete _hwSwList;
    _gen = _typeList = _binList = _hwSwList = nullptr;
    _db->close();
}

// --- whole blocks ---

bool RevPackDb::blockIntact(const char* name, const char* sizeKey, const char* dataKey)
{
    auto g = group(name);
    if (!g) return false;
    int size = 0;
    g->get(sizeKey, size, 0);
    const char* data = RPFile::rawValue(*g, dataKey);
    const size_t len = data ? std::strlen(data) : 0;
    std::string fault;
    if (size < 0 || size > MAX_BINFILE_SIZE)
        fault = std::string(sizeKey) + " " + std::to_string(size) + " out of range";
    else if (len != 2 * static_cast<size_t>(size))
        fault = std::string(sizeKey) + " " + std::to_string(size) + ", but " + dataKey + " holds " +
                std::to_string(len) + " hex digits";
    else if (data && std::strspn(data, "0123456789abcdefABCDEF") != len)
        fault = std::string(dataKey) + " holds other characters than hex digits";
    if (fault.empty()) return true;
    B_ERROR("[" << name << "] " << fault);
    return false;
}

std::string RevPackDb::damage(const char* image)
{
    const std::string name = image ? image : "";
    std::vector<std::string> blocks{name};
    for (int i = 0; i < _nrBootFiles; ++i) blocks.push_back(_bootFiles[i]);
    for (const std::string& b : blocks) {
        if (!grpExist(b.c_str())) continue;
        if (!blockIntact(b.c_str(), BIN_SIZE, BIN_DATA) ||
            (entryExist(b.c_str(), ADN_FILE) && !blockIntact(b.c_str(), ADN_SIZE, ADN_DATA)))
            return Translated::message("Invalid Revpack: image %s is damaged", b.c_str());
    }
    return "";
}
