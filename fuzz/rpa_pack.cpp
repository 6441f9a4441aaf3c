// A revision-pack file (.rpa) from anywhere, as the upgrade reads it: the
// pack selected, each of its images loaded with the settings file it
// carries, the boot loader chosen for the unit, the checksum and the
// upgrade rules checked. The input's first line is the unit (type, ';',
// software, ';', special, ';', hardware); the rest is the pack. Nothing
// read may reach past the database's buffers, and reading never changes
// the pack file.

#include <cstring>

#include "fuzz/support/FuzzKit.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "support/KvTestPack.h"
#include "korprog/progctrl/Data/RevPackDbOwner.h"

using namespace fuzzkit;

namespace {

struct Owner : RevPackDbOwner {
    uint16_t traceLevel() const override { return 0xFFFF; }  // every trace line is built too
    void frmStatusInfo(const char*, bool) override {}
    void refreshWindow() override {}
    void lastRevpackFile(const char*) override {}
    void lastBinFile(const char*) override {}
    bool upgrInitByKor() const override { return unitAsked; }
    bool unitAsked = false;
};

std::string field(std::string& line)
{
    const size_t semi = line.find(';');
    std::string f = line.substr(0, semi);
    line = semi == std::string::npos ? "" : line.substr(semi + 1);
    return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Owner owner;
    static Dialogs dialogs;
    static RevPackDb* db = nullptr;
    static std::string packs;
    if (!db) {
        packs = workDir() + "/RevPacks";
        std::filesystem::create_directories(packs);
        db = new RevPackDb(&owner, packs.c_str());
        db->sleepFunc(nullptr);
    }
    Input in(data, size);
    std::string unit = in.upTo('\n');
    const std::string type = field(unit), sw = field(unit), special = field(unit), hw = field(unit);
    RevPackDb::setActHwSwVers(type.c_str(), sw.c_str(), special.c_str(), hw.c_str());
    owner.unitAsked = !unit.empty();
    const std::string bytes = in.rest();
    const std::string file = "f[1a2b].rpa", path = packs + "/" + file;
    writeFile(path, bytes);

    db->selectRpFile(file.c_str());
    if (db->actNrBinFiles() < 0 || db->actNrBinFiles() > RevPackDb::MAX_NR_FILES) fail("image count");
    if (db->nrBootFiles() < 0 || db->nrBootFiles() > RevPackDb::MAX_BOOTFILES) fail("boot loader count");
    std::vector<std::string> images{"app.bin", std::string(300, 'n')};
    for (int i = 0; i < db->actNrBinFiles(); ++i) images.push_back(db->actBinFile(i));
    for (const std::string& image : images) {
        db->binFileAllowed(image.c_str());
        db->checkTypeSwHwVers(image.c_str());
        db->allowedHwList(image.c_str());
        db->setBinData(image.c_str());
        if (db->binSize() < 0 || db->binSize() > RevPackDb::MAX_BINFILE_SIZE) fail("image size " + std::to_string(db->binSize()));
        if (db->adnSize() < 0 || db->adnSize() > RevPackDb::MAX_BINFILE_SIZE) fail("settings size " + std::to_string(db->adnSize()));
        const char *hwFound = nullptr, *specialFound = nullptr;
        if (std::strlen(db->getKorTypeFmBin(hwFound)) > 11) fail("type from the image");
        if (std::strlen(db->getSwVersionFmBin(specialFound)) > 7) fail("version from the image");
    }
    for (const char* h : {static_cast<const char*>(nullptr), "49", "00", hw.c_str()}) {
        db->setBootData(h);
        if (db->bootSize() < 0 || db->bootSize() > RevPackDb::MAX_BOOT_SIZE) fail("boot loader size " + std::to_string(db->bootSize()));
        db->checkBtlHwVersion();
    }
    std::vector<std::string> from, to;
    db->allowedFromToSpecials(from, to);
    db->checkCheckSum(file.c_str(), false);
    db->printData();
    db->clearDb();
    RevPackDb::activeAdnFileReset();
    if (readFile(path) != bytes) fail("reading the pack changed its file");
    return 0;
}
