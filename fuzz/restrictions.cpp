// The restrictions file (RevPacks/SwHwRestrictions.txt) from anywhere,
// through pack creation into a pack's restriction list, and from there
// through the upgrade rules for units of every kind. A pack that is made
// must verify; the rules must answer for every unit and image. An input
// that ends in the byte 0x7F is stretched: continuation lines carry its
// last value past the longest legal one, and then no pack may be made.

#include "fuzz/support/FuzzKit.h"
#include "korprog/progctrl/Data/RPFileCheck.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Data/RevPackDbTestKit.h"

using namespace fuzzkit;
namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static RecordingOwner owner;
    static Dialogs dialogs;
    static const std::string bins = workDir() + "/bins", packs = workDir() + "/packs";
    static RevPackDb* db = nullptr;
    if (!db) {
        fs::create_directories(bins);
        fs::create_directories(workDir() + "/RevPacks");
        std::string app(0x100 + 700, 'x');
        app.replace(16, 15, "B.49KV8888GM-ED");
        app.replace(0x100 + 32, 23, std::string("VERSION: KV-4.12 EXTRA") + '\0');
        writeFile(bins + "/KV8888GM-ED_4.12.bin", app);
        writeFile(bins + "/BOOT_LOAD_B49.bin", std::string(1600, '\x5a'));
        owner.typeNames = {{"KV8888GM-ED", "KV8888GM-ED"}};  // the image is used, not skipped
        db = new RevPackDb(&owner, packs.c_str());
        db->sleepFunc(nullptr);
    }
    std::error_code ec;
    fs::remove_all(packs, ec);
    std::string file(reinterpret_cast<const char*>(data), size);
    const bool stretched = !file.empty() && file.back() == '\x7f';
    if (stretched)
        for (size_t n = 0; n <= RPFileCheck::MAX_VALUE; n += 80) file += "\n+" + std::string(80, 'x');
    writeFile("RevPacks/SwHwRestrictions.txt", file);
    owner.status.clear();

    const bool made = db->createDb(bins.c_str());
    if (made && stretched) fail("a restrictions file with a value past the longest legal one made a pack");
    if (!made) return 0;
    const std::string path = packs + "/" + db->createdPack();
    if (!db->checkCheckSum(path.c_str(), true)) fail("a new pack fails its checksum");
    db->selectRpFile(db->createdPack().c_str());
    const char* const units[][4] = {{"KV8888GM-ED", "KV-4.10", "     ", "B.49"},
                                    {"KV8888GM-ED", "KV-5.01", " EXTRA", "G.48"},
                                    {"KV1111PS-BD", "KV-6.00", "ABCDEF", "C.49"},
                                    {"", "", "", ""}};
    for (const auto& u : units) {
        RevPackDb::setActHwSwVers(u[0], u[1], u[2], u[3]);
        for (const char* image : {"KV8888GM-ED_4.12.bin", "BOOT_LOAD_B49.bin"}) {
            db->binFileAllowed(image);
            db->checkTypeSwHwVers(image);
            db->allowedHwList(image);
        }
        std::vector<std::string> from, to;
        db->allowedFromToSpecials(from, to);
    }
    db->clearDb();
    RevPackDb::setActHwSwVers("", "", "", "");
    return 0;
}
