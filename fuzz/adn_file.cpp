// A settings file (.adn) from anywhere: the command line's check of it,
// loading it into the setting bin, and saving the bin again. Every entry
// keeps within its fields and holds no double quote (the unit's frame has no
// escaping), every saved file is one -program takes, and a save is read back
// exactly: loading a saved file and saving it again gives the same entries
// and the same bytes.

#include <cstring>

#include "fuzz/support/FuzzKit.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/Data/SettingBinOwner.h"
#include "korprog/progctrl/States/KvctrlUnattended.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Owner owner;
    static Dialogs dialogs;
    workDir();
    writeFile("in.adn", std::string(reinterpret_cast<const char*>(data), size));
    std::string why;
    KvctrlUnattended::checkProgramFile("in.adn", &why);

    // Loading fills in a type and a special where the file has none, so the
    // first save may differ from the input; from then on nothing changes.
    SettingBin first(&owner), second(&owner), third(&owner);
    first.file("in.adn");
    first.loadFromFile();
    checkFields(first, "loaded");
    first.file("out1.adn");
    first.storeToFile();
    std::string check;
    if (!KvctrlUnattended::checkProgramFile("out1.adn", &check)) fail("a saved file is refused by -program: " + check);
    second.file("out1.adn");
    second.loadFromFile();
    second.file("out2.adn");
    second.storeToFile();
    third.file("out2.adn");
    third.loadFromFile();
    for (int k = 1; k < SettingBin::MAX_ENTRIES; ++k) {
        const SettingEntry* a = second.getEntry(static_cast<uint8_t>(k));
        const SettingEntry* b = third.getEntry(static_cast<uint8_t>(k));
        if (std::strcmp(a->text, b->text) != 0 || std::strcmp(a->tfnr, b->tfnr) != 0)
            fail("entry " + std::to_string(k) + " reads back as \"" + b->text + "|" + b->tfnr + "\" after saving \"" +
                 a->text + "|" + a->tfnr + "\"");
    }
    third.file("out3.adn");
    third.storeToFile();
    if (readFile("out2.adn") != readFile("out3.adn")) fail("a saved file saved again differs");
    return 0;
}
