// A settings file (.adn) from anywhere: both rules of loading it into the
// setting bin (what -program takes the window takes alike), and saving the
// bin again. Every entry
// keeps within its fields and holds no double quote (the unit's frame has no
// escaping), every saved file is one -program takes, and a save is read back
// exactly: loading a saved file and saving it again gives the same entries
// and the same bytes.

#include <cstring>

#include "fuzz/support/FuzzKit.h"
#include "korprog/progctrl/Data/AdnFile.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/Data/SettingBinOwner.h"
#include "korprog/progctrl/Run/KvctrlUnattended.h"

using namespace fuzzkit;

namespace {

struct Owner : SettingBinOwner {
    uint16_t traceLevel() const override { return 0; }
};

void checkFields(SettingBin& bin, const char* what)
{
    for (int k = 0; k < SettingBin::MAX_ENTRIES; ++k) {
        const SettingEntry* e = bin.getEntry(static_cast<uint8_t>(k));
        if (strnlen(e->text, sizeof e->text) >= sizeof e->text || strnlen(e->tfnr, sizeof e->tfnr) >= sizeof e->tfnr)
            fail(std::string(what) + ": entry " + std::to_string(k) + " runs past its field");
        if (std::strchr(e->text, '"') || std::strchr(e->tfnr, '"'))
            fail(std::string(what) + ": entry " + std::to_string(k) + " holds a double quote");
    }
}

void sameEntries(SettingBin& a, SettingBin& b, const char* what)
{
    for (int k = 1; k < SettingBin::MAX_ENTRIES; ++k) {
        const SettingEntry* x = a.getEntry(static_cast<uint8_t>(k));
        const SettingEntry* y = b.getEntry(static_cast<uint8_t>(k));
        if (std::strcmp(x->text, y->text) != 0 || std::strcmp(x->tfnr, y->tfnr) != 0)
            fail("entry " + std::to_string(k) + " reads as \"" + y->text + "|" + y->tfnr + "\" " + what + ", was \"" +
                 x->text + "|" + x->tfnr + "\"");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Owner owner;
    static Dialogs dialogs;
    workDir();
    writeFile("in.adn", std::string(reinterpret_cast<const char*>(data), size));
    // What -program takes the window takes, and alike.
    SettingBin strict(&owner), first(&owner), second(&owner), third(&owner);
    std::string why;
    const bool taken = AdnFile::load(strict, "in.adn", AdnFile::STRICT, &why) == AdnFile::LOADED;
    if (AdnFile::load(first, "in.adn", AdnFile::TOLERANT, &why) != AdnFile::LOADED) {
        if (taken) fail("a file -program takes is refused by the window: " + why);
        return 0;
    }
    if (taken) sameEntries(strict, first, "the strict load");

    // Loading fills in a type and a special where the file has none, so the
    // first save may differ from the input; from then on nothing changes.
    checkFields(first, "loaded");
    first.file("out1.adn");
    AdnFile::save(first);
    std::string check;
    if (!KvctrlUnattended::checkProgramFile("out1.adn", &check)) fail("a saved file is refused by -program: " + check);
    if (AdnFile::load(second, "out1.adn", AdnFile::TOLERANT, &why) != AdnFile::LOADED) fail("a saved file is refused: " + why);
    second.file("out2.adn");
    AdnFile::save(second);
    AdnFile::load(third, "out2.adn", AdnFile::TOLERANT, &why);
    sameEntries(second, third, "after saving");
    third.file("out3.adn");
    AdnFile::save(third);
    if (readFile("out2.adn") != readFile("out3.adn")) fail("a saved file saved again differs");
    return 0;
}
