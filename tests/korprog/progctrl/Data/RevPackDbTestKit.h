#ifndef TESTS_KORPROG_PROGCTRL_DATA_REVPACKDBTESTKIT_H
#define TESTS_KORPROG_PROGCTRL_DATA_REVPACKDBTESTKIT_H

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Data/RevPackDbOwner.h"

// Records what the database tells its owner.
struct RecordingOwner : RevPackDbOwner {
    uint16_t traceLevel() const override { return level; }
    void frmStatusInfo(const char* text, bool isError) override { status.push_back(std::string(isError ? "E:" : "") + text); }
    void refreshWindow() override { ++refreshes; }
    void lastRevpackFile(const char* file) override { lastPack = file; }
    void lastBinFile(const char* file) override { lastBin = file; }
    bool upgrInitByKor() const override { return bootRequested; }
    const char* refPackFile() const override { return refPack; }
    const char* customKorType(const char* code) const override
    {
        auto it = typeNames.find(code);
        return it == typeNames.end() ? code : it->second.c_str();
    }
    // As config.ini's type names do: "" for a name without a known code.
    const char* replaceOmbrixByCustomType(const char* file) override
    {
        for (const auto& p : typeNames)
            if (!std::strncmp(file, p.first.c_str(), p.first.size())) return (replaced = p.second + (file + p.first.size())).c_str();
        return "";
    }
    uint16_t level = 0;
    bool bootRequested = false;
    const char* refPack = nullptr;
    std::map<std::string, std::string> typeNames;
    std::string replaced;
    std::vector<std::string> status;
    int refreshes = 0;
    std::string lastPack, lastBin;
};

// One image of a pack (a boot loader when its name holds "BOOT_LOAD");
// the hardware and settings entries are written only when not empty.
struct TestImage {
    std::string name, data, hardware, adnFile, adnData;
};

inline TestImage testImage(const std::string& name, size_t size, const std::string& hardware = "B.49")
{
    TestImage t{name, "", hardware, "", ""};
    for (size_t i = 0; i < size; ++i) t.data += static_cast<char>(i * 31 + hardware.size());
    return t;
}

// Writes pack `name` (format version 3 unless oldNames) through the database.
inline void writePack(RevPackDb& db, const std::string& name, const std::vector<TestImage>& images,
                      bool oldNames = false)
{
    db.selectDb(name.c_str());
    if (!oldNames) {
        db.setEntry(RevPackDb::GENERAL, RevPackDb::DB_VERSION, RevPackDb::DB_VERSION_NR);
        db.flush();
        db.selectDb(name.c_str());  // the lists follow the version entry
    }
    for (const TestImage& im : images) {
        const char* g = im.name.c_str();
        db.setEntry(RevPackDb::BINLIST, g, g);
        db.setEntry(g, RevPackDb::BIN_SIZE, static_cast<int>(im.data.size()));
        db.setEntry(g, RevPackDb::BIN_DATA, im.data.data(), static_cast<int>(im.data.size()));
        if (!im.hardware.empty()) db.setEntry(g, RevPackDb::BIN_HWVERS, im.hardware.c_str());
        if (im.adnFile.empty()) continue;
        db.setEntry(g, RevPackDb::ADN_FILE, im.adnFile.c_str());
        db.setEntry(g, RevPackDb::ADN_SIZE, static_cast<int>(im.adnData.size()));
        db.setEntry(g, RevPackDb::ADN_DATA, im.adnData.data(), static_cast<int>(im.adnData.size()));
    }
    db.clearDb();
}

#endif
