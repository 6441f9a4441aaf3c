// Rows of the editor layout table (config.csv) from anywhere. The input's
// first line is the settings type and special build the rows are chosen
// for (type, ';', special); every further line is one row. Each row keeps
// within its fields, its menu and default answer every look-up, and a row
// the editor would show names an entry of the bin, whose title and limits
// the bin can give.

#include <cstring>

#include "fuzz/support/FuzzKit.h"
#include "korprog/progctrl/Data/SBEntry.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/Data/SettingBinOwner.h"

using namespace fuzzkit;

namespace {

struct Owner : SettingBinOwner {
    uint16_t traceLevel() const override { return 0; }
};

template <size_t N>
void fits(const char (&field)[N], const char* what)
{
    if (strnlen(field, N) >= N) fail(std::string(what) + " runs past its field");
}

void fits(const char* text, size_t size, const char* what)
{
    if (!text || strnlen(text, size) >= size) fail(std::string(what) + " runs past its field");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Owner owner;
    static Dialogs dialogs;
    workDir();
    Input in(data, size);
    std::string head = in.upTo('\n');
    const size_t semi = head.find(';');
    const std::string type = head.substr(0, semi), special = semi == std::string::npos ? "" : head.substr(semi + 1);

    SettingBin bin(&owner);
    bin.setEntry(10, type.c_str(), nullptr, false, SBEntry::INVALID_TYPE);
    bin.setEntry(20, special.c_str(), nullptr, false, SBEntry::INVALID_TYPE);
    std::vector<SBEntry*> rows;
    while (!in.empty()) {
        const std::string line = in.upTo('\n');
        auto* e = new SBEntry(line.c_str(), &bin);
        rows.push_back(e);
        fits(e->name(), 80, "name");
        fits(e->tabName(), 80, "tab name");
        fits(e->type(), 160, "kind");
        fits(e->help(), 80, "help");
        fits(e->tabHelp(), 80, "tab help");
        fits(e->defaultEntry(), 80, "default");
        if (e->nrMenuItems() < 0 || e->nrMenuItems() > SBEntry::MAX_MENU_ITEMS) fail("menu of " + std::to_string(e->nrMenuItems()));
        for (int i = -1; i <= e->nrMenuItems(); ++i) {
            fits(e->menuItem(i, false), SBEntry::MENU_ITEM_LEN, "menu text");
            fits(e->menuItem(i, true), SBEntry::MENU_ITEM_LEN, "menu value");
            char text[SBEntry::MENU_ITEM_LEN];
            std::snprintf(text, sizeof text, "%s", e->menuItem(i, false));
            const int ix = e->menuItem(text, false);
            if (ix < 0 || ix > e->nrMenuItems()) fail("menu look-up gives " + std::to_string(ix));
            e->menuItem(static_cast<const char*>(text), true);
        }
        if (e->entryType() == SBEntry::INVALID_TYPE) continue;
        if (e->entry() < 1 || e->entry() >= SettingBin::MAX_ENTRIES) fail("a shown row names entry " + std::to_string(e->entry()));
        if (e->list() != 'N' && e->list() != 'T') fail("a shown row names list " + std::to_string(e->list()));
        const uint8_t nr = static_cast<uint8_t>(e->entry());
        bin.setSbEntry(e);
        bin.entrySupported(nr, e->list());
        bin.textFieldSize(nr, e->entryType());
        bin.sbEntryTitle(nr, e->list());
        // What a widget stores: its first item, or its default.
        bin.setEntry(nr, e->list() == 'T' ? e->menuItem(0, true) : nullptr,
                     e->list() == 'N' ? e->defaultEntry() : nullptr, false, e->entryType());
    }
    // The bin forgets the rows before they go, as the editor's close does.
    for (int nr = 0; nr < SettingBin::MAX_ENTRIES; ++nr) {
        SettingEntry* s = bin.getEntry(static_cast<uint8_t>(nr));
        s->sbEntryT = s->sbEntryN = nullptr;
    }
    for (SBEntry* e : rows) delete e;
    return 0;
}
