// A revision-pack file (.rpa) from anywhere, as the upgrade reads it: the
// pack selected, each of its images loaded with the settings file it
// carries, the boot loader chosen for the unit, the checksum and the
// upgrade rules checked. The input's first line is the unit (type, ';',
// software, ';', special, ';', hardware), then ';' and anything when the
// upgrade was asked for by the unit, then ';' and anything to stretch the
// pack: its last value is then carried past the longest legal one by
// continuation lines. The rest is the pack. Nothing read may
// reach past the database's buffers; an image is loaded only when its data
// is exactly as many hex-coded bytes as its size says; a value longer than
// an image of 102400 bytes, hex-coded, leaves the pack unread; and reading
// never changes the pack file.

#include <FL/Fl_Preferences.H>

#include <cstring>
#include <memory>

#include "fuzz/support/FuzzKit.h"
#include "korprog/progctrl/Data/RPFile.h"
#include "korprog/progctrl/Data/RPFileCheck.h"
#include "korprog/progctrl/Data/RevPackDb.h"
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

// An image's "size" and "data" as stored, read past the database; whether
// the data is that many bytes, hex-coded.
bool storedWhole(RPFile& pack, const std::string& image, int* size)
{
    Fl_Preferences g(*pack.root(), image.c_str());
    g.get(RevPackDb::BIN_SIZE, *size, 0);
    const char* data = RPFile::rawValue(g, RevPackDb::BIN_DATA);
    const std::string d = data ? data : "";
    return *size >= 0 && d.size() == 2 * static_cast<size_t>(*size) &&
           d.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

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
    owner.unitAsked = !field(unit).empty();
    std::string bytes = in.rest();
    const bool stretched = !unit.empty();
    if (stretched)
        for (size_t n = 0; n <= RPFileCheck::MAX_VALUE; n += 80) bytes += "\n+" + std::string(80, '0');
    const std::string file = "f[1a2b].rpa", path = packs + "/" + file;
    writeFile(path, bytes);

    db->selectRpFile(file.c_str());
    if (stretched && (db->actNrBinFiles() != 0 || db->nrEntries(RevPackDb::GENERAL) != 0 ||
                      db->nrEntries(RevPackDb::HWSWLIST) != 0))
        fail("a pack with a value past the longest legal one was read");
    RPFile stored;
    stored.open(packs, "f[1a2b]");
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
        int size = 0;
        if (RPFileCheck::groupNameOk(image.c_str()) && stored.isOpen() && db->binSize() > 0 &&
            (!storedWhole(stored, image, &size) || size != db->binSize()))
            fail("image " + image + " loaded although its data is not its size's bytes");
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
