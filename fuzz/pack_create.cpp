// Pack creation over a directory whose image file (and the settings file
// beside it) come from anywhere. The input: a byte of choices (boot loader,
// with a fixed application image beside it, or application image; a
// settings file or not; a second, fixed boot loader or not), two bytes giving the settings file's length, the
// settings file, then the image. A pack that is made must verify and give
// back exactly the bytes it was made from; a pack that is not made leaves
// nothing behind.

#include <cstring>

#include "fuzz/support/FuzzKit.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Data/RevPackDbTestKit.h"

using namespace fuzzkit;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> filesIn(const std::string& dir)
{
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) out.push_back(e.path().filename().string());
    return out;
}

// An application image for processor 49 that pack creation takes.
std::string appImage()
{
    std::string s(0x100 + 64, 'x');
    s.replace(16, 15, "B.49KV8888GM-ED");
    s.replace(0x100 + 8, 17, std::string("VERSION: KV-4.12") + '\0');
    return s;
}

void emptyDir(const std::string& dir)
{
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::create_directories(dir, ec);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static RecordingOwner owner;
    static Dialogs dialogs;
    static const std::string bins = workDir() + "/bins", packs = workDir() + "/packs";
    static RevPackDb* db = nullptr;
    if (!db) {
        owner.typeNames = {{"KV8888GM-ED", "Alarmbox"}};
        db = new RevPackDb(&owner, packs.c_str());
        db->sleepFunc(nullptr);
    }
    emptyDir(bins);
    emptyDir(packs);
    owner.status.clear();

    Input in(data, size);
    const uint8_t choices = in.byte();
    const bool boot = choices & 1, withAdn = choices & 2, secondBoot = choices & 4;
    const size_t adnLen = size_t(in.byte()) << 8 | in.byte();
    const std::string adn = in.bytes(adnLen), image = in.rest();
    const std::string name = boot ? "BOOT_LOAD_B49.bin" : "KV8888GM-ED_4.12.bin";
    writeFile(bins + "/" + name, image);
    if (withAdn) writeFile(bins + "/" + name.substr(0, name.size() - 4) + ".adn", adn);
    if (secondBoot) writeFile(bins + "/BOOT_LOAD_C.bin", std::string(1600, '\x5a'));
    // Boot loaders alone make no pack: an application image goes with them.
    if (boot) writeFile(bins + "/KV8888GM-ED_4.12.bin", appImage());

    const bool made = db->createDb(bins.c_str());
    const std::vector<std::string> left = filesIn(packs);
    if (!made) {
        if (!left.empty()) fail("a pack that was not made left " + left.front() + " behind");
        return 0;
    }
    if (left.size() != 1 || left.front() != db->createdPack()) fail("the pack directory does not hold just the new pack");
    if (!db->checkCheckSum((packs + "/" + db->createdPack()).c_str(), true)) fail("a new pack fails its checksum");

    db->selectRpFile(db->createdPack().c_str());
    const std::string group = boot ? name : "Alarmbox_4.12.bin";
    db->autoProgAdnFile(true);
    db->setBinData(group.c_str());
    std::string expect;
    if (boot) {
        expect = image.substr(0, RevPackDb::BOOT_END_ADDR);
        expect.resize(RevPackDb::BOOT_END_ADDR, '\0');
    } else {
        expect = image.substr(std::min<size_t>(image.size(), RevPackDb::START_ADDRESS));
    }
    if (std::string(reinterpret_cast<const char*>(db->binData()), size_t(db->binSize())) != expect)
        fail("the image read back from the pack differs from the file (" + std::to_string(db->binSize()) + " of " +
             std::to_string(expect.size()) + " bytes)");
    if (withAdn && std::string(reinterpret_cast<const char*>(db->adnData()), size_t(db->adnSize())) != adn)
        fail("the settings file read back from the pack differs from the file");
    db->clearDb();
    RevPackDb::activeAdnFileReset();
    return 0;
}
