#ifndef TESTS_KORPROG_PROGCTRL_DATA_REVPACKDBTESTKIT_H
#define TESTS_KORPROG_PROGCTRL_DATA_REVPACKDBTESTKIT_H

#include <cstdint>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Data/RevPackDbOwner.h"

// Records what the database tells its owner.
struct RecordingOwner : RevPackDbOwner {
    uint16_t traceLevel() const override { return level; }
    void frmStatusInfo(const char* text, bool isError) override { status.push_back({text, isError}); }
    void refreshWindow() override { ++refreshes; }
    void lastRevpackFile(const char* file) override { lastPack = file; }
    void lastBinFile(const char* file) override { lastBin = file; }

    struct Status {
        std::string text;
        bool isError;
    };
    uint16_t level = 0;
    std::vector<Status> status;
    int refreshes = 0;
    std::string lastPack, lastBin;
};

// One image of a pack as the tests write it.
struct TestImage {
    std::string name;
    std::string data;
    std::string type, version, hardware, special;
    std::string adnFile, adnData;
};

namespace rptest {

inline std::vector<uint32_t>& sleeps()
{
    static std::vector<uint32_t> s;
    return s;
}
inline void recordSleep(uint32_t ms) { sleeps().push_back(ms); }

inline void makeDir(const std::string& path) { ::mkdir(path.c_str(), 0700); }

// Writes a pack of the current format into the database's directory: the
// open pack becomes `name`, every image gets its group and list entries.
inline void writePack(RevPackDb& db, const std::string& name, const std::vector<TestImage>& images,
                      bool newNames = true)
{
    db.selectDb(name.c_str());
    if (newNames) {
        db.setEntry(RevPackDb::GENERAL, RevPackDb::DB_VERSION, RevPackDb::DB_VERSION_NR);
        // The lists follow the version entry once the pack is reopened.
        db.flush();
        db.selectDb(name.c_str());
    }
    for (const TestImage& im : images) {
        db.setEntry(RevPackDb::BINLIST, im.name.c_str(), im.name.c_str());
        if (!im.type.empty()) db.setEntry(RevPackDb::TYPELIST, im.type.c_str(), im.type.c_str());
        const char* g = im.name.c_str();
        db.setEntry(g, RevPackDb::BIN_SIZE, static_cast<int>(im.data.size()));
        if (!im.type.empty()) db.setEntry(g, RevPackDb::BIN_TYPE, im.type.c_str());
        if (!im.version.empty()) db.setEntry(g, RevPackDb::BIN_VERSION, im.version.c_str());
        if (!im.hardware.empty()) db.setEntry(g, RevPackDb::BIN_HWVERS, im.hardware.c_str());
        if (!im.special.empty()) db.setEntry(g, RevPackDb::BIN_SPECIAL, im.special.c_str());
        db.setEntry(g, RevPackDb::BIN_DATA, im.data.data(), static_cast<int>(im.data.size()));
        if (!im.adnFile.empty()) {
            db.setEntry(g, RevPackDb::ADN_FILE, im.adnFile.c_str());
            db.setEntry(g, RevPackDb::ADN_SIZE, static_cast<int>(im.adnData.size()));
            db.setEntry(g, RevPackDb::ADN_DATA, im.adnData.data(), static_cast<int>(im.adnData.size()));
        }
    }
    db.clearDb();
}

inline TestImage bootLoader(const std::string& name, const std::string& hardware, size_t size = 1536)
{
    TestImage t;
    t.name = name;
    t.hardware = hardware;
    for (size_t i = 0; i < size; ++i) t.data += static_cast<char>(i * 31 + hardware.size());
    return t;
}

}  // namespace rptest

#endif
