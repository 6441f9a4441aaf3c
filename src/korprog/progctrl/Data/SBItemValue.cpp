#include "korprog/progctrl/Data/SBItemValue.h"

#include <FL/Fl_Choice.H>
#include <FL/Fl_Menu_Button.H>

#include "korprog/StringUtils.h"
#include "korprog/progctrl/Data/Fl_Input_Choice.h"
#include "korprog/progctrl/Data/MenuItemText.h"
#include "korprog/progctrl/Data/SBEntry.h"
#include "korprog/progctrl/Data/SettingBin.h"

namespace {

// Texts are shown exactly as written, whatever FLTK's add() would read in them.
int addItem(Fl_Menu_* w, const char* text, int flags) { return MenuItemText::add(w, text, flags); }
int addItem(kp::Fl_Input_Choice* w, const char* text, int flags) { return w->add(text, 0, nullptr, nullptr, flags); }

template <class W>
int fillItems(W* w, const SBEntry* sbEntry, SettingBin* settingBin, int flags)
{
    w->box(FL_PLASTIC_UP_BOX);
    w->labelsize(12);
    w->textsize(12);
    w->align(FL_ALIGN_LEFT);
    for (int i = 0; i < sbEntry->nrMenuItems(); ++i) addItem(w, sbEntry->menuItem(i, false), flags);
    const int current = SBItemValue::currentItem(sbEntry, settingBin);
    if (current >= sbEntry->nrMenuItems()) return -1;
    w->value(current);
    return current;
}

}  // namespace

int SBItemValue::fill(Fl_Choice* w, const SBEntry* sbEntry, SettingBin* settingBin)
{
    return fillItems(w, sbEntry, settingBin, 0);
}

int SBItemValue::fill(Fl_Menu_Button* w, const SBEntry* sbEntry, SettingBin* settingBin, int flags)
{
    return fillItems(w, sbEntry, settingBin, flags);
}

int SBItemValue::fill(kp::Fl_Input_Choice* w, const SBEntry* sbEntry, SettingBin* settingBin)
{
    return fillItems(w, sbEntry, settingBin, 0);
}

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
