#include "korprog/progctrl/Run/KvctrlTextFit.h"

#include <cstring>

#include "bdebug/BTrace.h"
#include "korprog/Dialog.h"
#include "korprog/RunMode.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/Translated.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/progctrl/Run/KvctrlUnattended.h"

std::vector<KvctrlTextFit::TooLong> KvctrlTextFit::find(SettingBin* bin)
{
    std::vector<TooLong> out;
    for (int nr = 1; nr < SettingBin::MAX_ENTRIES && bin->validEntry(uint8_t(nr)); ++nr) {
        const SettingEntry* e = bin->getEntry(uint8_t(nr));
        if (!e) continue;
        const int length = int(std::strlen(e->text));
        const int max = bin->unitTextFieldSize(uint8_t(nr));
        if (length > max) out.push_back({nr, length, max});
    }
    return out;
}

std::string KvctrlTextFit::reason(SettingBin* bin, const std::vector<TooLong>& tooLong, const char* undone)
{
    std::string s = "texts too long for the unit: ";
    for (size_t i = 0; i < tooLong.size(); ++i) {
        const TooLong& t = tooLong[i];
        s += (i ? "; " : "") + std::string("entry ") + std::to_string(t.entry) + " (" +
             bin->sbEntryTitle(uint8_t(t.entry), 'T') + ") has " + std::to_string(t.length) +
             " characters, at most " + std::to_string(t.max);
    }
    return s + "; " + undone;
}

namespace {

std::string tr(const char* text) { return gettext(text, 0); }

std::string question(SettingBin* bin, const std::vector<KvctrlTextFit::TooLong>& tooLong)
{
    std::string s = tr("Attentie!!") + "\n" + Translated::message("Deze teksten zijn te lang voor de Korvan:") + "\n";
    int named = 0;
    for (const KvctrlTextFit::TooLong& t : tooLong) {
        if (named++ == KvctrlTextFit::NAMED) break;
        s += tr("Veldnaam") + ", \"" + bin->sbEntryTitle(uint8_t(t.entry), 'T') + "\", " + tr("Waarde") + ", \"" +
             bin->getEntry(uint8_t(t.entry))->text + "\": " + Translated::message("max. %d karakters", t.max) + "\n";
    }
    const int more = int(tooLong.size()) - KvctrlTextFit::NAMED;
    if (more > 0) s += Translated::message("en nog %d", more) + "\n";
    return s + Translated::message("Er is nog niets gestuurd, Programmeren continueren kort ze in.") + "\n";
}

}  // namespace

bool KvctrlTextFit::allow(KvctrlRoot* root)
{
    SettingBin* bin = root->korSettingBin();
    const std::vector<TooLong> tooLong = find(bin);
    if (tooLong.empty()) return true;
    if (RunMode::unattended()) {
        KvctrlUnattended::fail(RunFailure::Kind::BadInput, reason(bin, tooLong));
        return false;
    }
    const int answer = Dialog::choice(question(bin, tooLong).c_str(), gettext("Programmeren continueren", 0),
                                      gettext("Programmeren stoppen", 0), nullptr, 1);
    BTrace::instance()->dbgPrint(std::to_string(tooLong.size()) + " texts too long for the unit: " +
                                     (answer == 0 ? "cut" : "nothing programmed"),
                                 true, true);
    if (answer != 0) return false;
    for (const TooLong& t : tooLong) bin->getEntry(uint8_t(t.entry))->text[t.max] = '\0';
    // What the settings hold now is what the editor shows, and what a save writes.
    bin->unsavedChanges(true);
    bin->enableEdit();
    return true;
}
