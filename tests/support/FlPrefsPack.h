#ifndef TESTS_SUPPORT_FLPREFSPACK_H
#define TESTS_SUPPORT_FLPREFSPACK_H

// Revision packs written by FLTK's own preferences class, as another tool
// would write them: format version 3, one group per image, the restriction
// rows, and the pack's checksum in its file name.

#include <FL/Fl_Preferences.H>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "korprog/progctrl/Data/RevPackDb.h"

// Entries left empty are not written.
struct FlPrefsImage {
    std::string name, type, version, hardware, special, data;
};

// The restriction rows every new pack gets by default.
inline std::vector<std::string> defaultRestrictionRows()
{
    return {"4.**;B.**", "4.**;D.**", "4.**;C.**", "5.**;F.**", "5.**;G.**", "6.**;H.**", "KV---------;KV---------"};
}

// Writes pack `name` into revpacksDir; returns its file name ("name[xxxx].rpa").
inline std::string writeFlPrefsPack(const std::string& revpacksDir, const std::string& name,
                                    const std::vector<FlPrefsImage>& images,
                                    const std::vector<std::string>& rows = defaultRestrictionRows())
{
    namespace fs = std::filesystem;
    const std::string work = revpacksDir + "/fltk-work";
    {
        Fl_Preferences p(work.c_str(), "RevPacks", name.c_str());
        Fl_Preferences gen(p, "General"), types(p, "KorvanTypeList_2"), bins(p, "BinFileList_2"),
            restr(p, "HwSwRestrictionList");
        gen.set("version", 3);
        for (size_t i = 0; i < rows.size(); ++i) restr.set(std::to_string(i + 1).c_str(), rows[i].c_str());
        for (const FlPrefsImage& im : images) {
            const char* n = im.name.c_str();
            bins.set(n, n);
            if (!im.type.empty()) types.set(im.type.c_str(), im.type.c_str());
            Fl_Preferences g(p, n);
            g.set("size", static_cast<int>(im.data.size()));
            if (!im.type.empty()) g.set("type", im.type.c_str());
            if (!im.version.empty()) g.set("version", im.version.c_str());
            if (!im.hardware.empty()) g.set("hardware", im.hardware.c_str());
            if (!im.special.empty()) g.set("special", im.special.c_str());
            g.set("data", im.data.data(), static_cast<int>(im.data.size()));
        }
    }
    const std::string written = work + "/" + name + ".prefs";
    const std::unique_ptr<RevPackDb> db(new RevPackDb(nullptr, revpacksDir.c_str()));  // large: off the stack
    char file[300];
    std::snprintf(file, sizeof file, "%s[%04x].rpa", name.c_str(), db->readCheckSum(written.c_str()));
    std::error_code ec;
    fs::rename(written, fs::path(revpacksDir) / file, ec);
    fs::remove_all(work, ec);
    return file;
}

#endif
