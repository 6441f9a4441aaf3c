#include "korprog/progctrl/Data/SBItemValue.h"

#include "korprog/StringUtils.h"
#include "korprog/progctrl/Data/SBEntry.h"
#include "korprog/progctrl/Data/SettingBin.h"

int SBItemValue::currentItem(const SBEntry* sbEntry, SettingBin* settingBin)
{
    const SettingBin::SettingEntry* e = settingBin->getEntry(static_cast<uint8_t>(sbEntry->entry()));
    char part[SettingBin::SettingEntry::TEXT_SIZE];
    StringUtils::copyTo(part, sbEntry->list() == 'T' ? e->text : e->tfnr);
    return sbEntry->menuItem(part, true);
}

void SBItemValue::store(const SBEntry* sbEntry, SettingBin* settingBin, const char* value)
{
    if (!value) return;
    const uint8_t nr = static_cast<uint8_t>(sbEntry->entry());
    if (sbEntry->list() == 'T') {
        settingBin->setEntry(nr, value, nullptr, false, sbEntry->entryType());
    } else {
        settingBin->setEntry(nr, nullptr, value, false, sbEntry->entryType());
    }
}
