#include "korprog/progctrl/Data/SBInput.h"

#include <string>

#include "korprog/progctrl/Data/SBEntry.h"
#include "korprog/progctrl/Data/SBTabSheet.h"
#include "korprog/progctrl/Data/SBTabs.h"
#include "korprog/progctrl/Data/SettingBin.h"

SBInput::SBInput(SBEntry* sbEntry, SettingBin* settingBin)
    : Fl_Input(0, 0, SBTabSheet::fieldWidth(sbEntry->list()), SBTabSheet::ROW_H, sbEntry->name()),
      _sbEntry(sbEntry),
      _sbPairInput(nullptr),
      _settingBin(settingBin)
{
    if (sbEntry->entryType() == SBEntry::NUM_INPUT_TYPE) type(FL_INT_INPUT);
    box(FL_PLASTIC_UP_BOX);
    labelsize(12);
    textsize(12);
    align(FL_ALIGN_LEFT);

    const SettingBin::SettingEntry* e = settingBin->getEntry(static_cast<uint8_t>(sbEntry->entry()));
    const char* part = sbEntry->list() == 'T' ? e->text : e->tfnr;
    // A default is only shown: the entry stays empty until the user edits.
    value(part[0] == '\0' ? sbEntry->defaultEntry() : part);

    callback(cbInput, this);
    when(FL_WHEN_CHANGED);
}

SBInput::~SBInput() { delete _sbEntry; }

void SBInput::placeOnTabSheet(SBTabSheet* sheet) { sheet->place(this, _sbEntry->list()); }

int SBInput::pairPartner(int entry)
{
    switch (entry) {
    case 4: return 5;
    case 6: return 7;
    case 8: return 9;
    case 60: return 70;
    default: return 0;
    }
}

void SBInput::setPairInput(SBInput* next, SettingBin* settingBin)
{
    if (!next || settingBin->networkType() != SettingBin::GPRS || _sbEntry->list() != 'T') return;
    // Only the text part of the partner entry continues this text: anything
    // else would get half of this entry written into it.
    const int partner = pairPartner(_sbEntry->entry());
    if (partner == 0 || next->_sbEntry->entry() != partner || next->_sbEntry->list() != 'T') return;

    _sbPairInput = next;
    next->hide();
    const std::string both = std::string(settingBin->getEntry(static_cast<uint8_t>(_sbEntry->entry()))->text) +
                             settingBin->getEntry(static_cast<uint8_t>(partner))->text;
    value(both.c_str());
}

int SBInput::handle(int event)
{
    if (event == FL_FOCUS) SBTabs::showHelp(this, _sbEntry->help());
    return Fl_Input::handle(event);
}

void SBInput::cbInput(Fl_Widget*, void* data) { static_cast<SBInput*>(data)->callbackInput(); }

void SBInput::callbackInput()
{
    const int pos = position();
    const int mk = mark();
    const uint8_t nr = static_cast<uint8_t>(_sbEntry->entry());
    const SBEntry::EntryType kind = _sbEntry->entryType();

    if (_sbEntry->list() == 'T') {
        const std::string typed = value();
        _settingBin->setEntry(nr, typed.c_str(), nullptr, false, kind);
        const std::string stored = _settingBin->getEntry(nr)->text;
        if (_sbPairInput) {
            const size_t half = stored.size() / 2;
            _settingBin->setEntry(nr, stored.substr(0, half).c_str(), nullptr, false, kind);
            _settingBin->setEntry(static_cast<uint8_t>(_sbPairInput->_sbEntry->entry()), stored.substr(half).c_str(),
                                  nullptr, false, _sbPairInput->_sbEntry->entryType());
        }
        // A cut or filtered text shows at once as it was kept.
        if (stored != typed) value(stored.c_str());
    } else {
        const std::string typed = value();
        _settingBin->setEntry(nr, nullptr, typed.c_str(), false, kind);
        const char* stored = _settingBin->getEntry(nr)->tfnr;
        if (typed != stored) value(stored);
    }
    position(pos < size() ? pos : size(), mk < size() ? mk : size());
}
