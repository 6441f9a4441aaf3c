#include "korprog/progctrl/Data/SBTabs.h"

#include <FL/Fl_Help_View.H>
#include <sys/stat.h>

#include "korprog/Dialog.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/SBChoice.h"
#include "korprog/progctrl/Data/SBEntry.h"
#include "korprog/progctrl/Data/SBInput.h"
#include "korprog/progctrl/Data/SBInputChoice.h"
#include "korprog/progctrl/Data/SBMenuButton.h"
#include "korprog/progctrl/Data/SBTabSheet.h"
#include "korprog/progctrl/Data/SettingBin.h"

SBTabs::SBTabs(int x, int y, int w, int h, const char* label)
    : Fl_Tabs(x, y, w, h, label), _helpView(nullptr), _settingBin(nullptr)
{
    end();
}

SBTabs::~SBTabs() { editClose(); }

void SBTabs::editSettingBin(SettingBin* settingBin)
{
    removeTabs();
    _settingBin = settingBin;
    if (_settingBin) fillList();
    if (parent()) parent()->redraw();
    redraw();
}

void SBTabs::editClose()
{
    removeTabs();
    _settingBin = nullptr;
    // While the window itself goes, the editor has no parent left to draw.
    if (parent()) parent()->redraw();
}

void SBTabs::removeTabs()
{
    // The bin must never point at the definitions about to be deleted.
    if (_settingBin) {
        for (int nr = 0; nr < SettingBin::MAX_ENTRIES; ++nr) {
            SettingBin::SettingEntry* e = _settingBin->getEntry(static_cast<uint8_t>(nr));
            e->sbEntryT = nullptr;
            e->sbEntryN = nullptr;
        }
    }
    clear();
}

bool SBTabs::readLine(FILE* fd, char* line)
{
    int c = std::fgetc(fd);
    if (c == EOF) return false;
    int n = 0;
    for (; c != EOF && c != '\n'; c = std::fgetc(fd)) {
        // A table saved with CR LF line ends reads as one without.
        if (c == '\r') continue;
        if (n < MAX_CONFIG_LINE_LEN - 1) line[n++] = static_cast<char>(c);
    }
    line[n] = '\0';
    return true;
}

void SBTabs::fillList()
{
    FILE* fd = std::fopen(_configFile.c_str(), "r");
    if (!fd) {
        const std::string text = std::string(gettext("Fout!! Bestand", 0)) + " \"" + _configFile + "\" " +
                                 gettext("niet aanwezig", 0) + ".\n" +
                                 gettext("Gegevens kunnen NIET ingevuld worden", 0) + ".\n";
        Dialog::alert("%s", text.c_str());
        return;
    }
    // The sheets and widgets join their parents explicitly, never a group
    // someone else is building.
    Fl_Group* building = Fl_Group::current();
    Fl_Group::current(nullptr);

    SBTabSheet* sheet = nullptr;
    std::vector<SBInput*> inputs;
    char line[MAX_CONFIG_LINE_LEN];
    while (readLine(fd, line)) {
        SBEntry* sbEntry = new SBEntry(line, _settingBin);
        if (sbEntry->entryType() == SBEntry::INVALID_TYPE) {
            delete sbEntry;
            continue;
        }
        // A tab name that comes back later opens a tab of its own.
        if (!sheet || !sbEntry->tabNameIs(sheet->label())) {
            sheet = new SBTabSheet(this, sbEntry->tabName(), gettext(sbEntry->tabHelp(), 0));
        }
        if (!_settingBin->entrySupported(static_cast<uint8_t>(sbEntry->entry()), sbEntry->list())) {
            delete sbEntry;
            continue;
        }
        addWidget(sbEntry, sheet, inputs);
    }
    std::fclose(fd);

    for (size_t i = 0; i + 1 < inputs.size(); ++i) inputs[i]->setPairInput(inputs[i + 1], _settingBin);
    Fl_Group::current(building);
    // The first tab is the one shown: its help is the one to read.
    if (children() > 0) {
        value(child(0));
        loadHelp(static_cast<SBTabSheet*>(child(0))->help());
    }
}

void SBTabs::addWidget(SBEntry* sbEntry, SBTabSheet* sheet, std::vector<SBInput*>& inputs)
{
    switch (sbEntry->entryType()) {
    case SBEntry::ASCII_INPUT_TYPE:
    case SBEntry::TEL_INPUT_TYPE:
    case SBEntry::NUM_INPUT_TYPE: {
        SBInput* input = new SBInput(sbEntry, _settingBin);
        input->placeOnTabSheet(sheet);
        inputs.push_back(input);
        break;
    }
    case SBEntry::MENU_BUTTON_TYPE:
        (new SBMenuButton(sbEntry, _settingBin))->placeOnTabSheet(sheet);
        break;
    case SBEntry::CHOICE_TYPE:
        (new SBChoice(sbEntry, _settingBin))->placeOnTabSheet(sheet);
        break;
    case SBEntry::INPUT_CHOICE_TYPE:
        (new SBInputChoice(sbEntry, _settingBin))->placeOnTabSheet(sheet);
        break;
    default:
        delete sbEntry;
        return;
    }
    _settingBin->setSbEntry(sbEntry);
}

void SBTabs::loadHelp(const char* help)
{
    if (!_helpView || !help || !*help) return;
    struct stat st;
    if (::stat(help, &st) == 0 && S_ISREG(st.st_mode)) {
        _helpView->load(help);
    } else {
        _helpView->value(help);
    }
}

void SBTabs::showHelp(Fl_Widget* w, const char* help)
{
    for (Fl_Widget* p = w; p; p = p->parent()) {
        if (SBTabs* tabs = dynamic_cast<SBTabs*>(p)) {
            tabs->loadHelp(help);
            return;
        }
    }
}
