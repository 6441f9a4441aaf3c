#include "korprog/progctrl/Run/KvctrlReadBack.h"

#include <cctype>
#include <string>

#include "bdebug/BTrace.h"
#include "helm/BState.h"
#include "korprog/Dialog.h"
#include "korprog/RunMode.h"
#include "korprog/progctrl/Data/ConfigInit.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/Translated.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/progctrl/States/KvctrlLocSyntax.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/progctrl/Run/KvctrlRunPlan.h"
#include "korprog/progctrl/Run/KvctrlUnattended.h"
#include "korprog/progctrl/Run/KvctrlUnitValues.h"
#include "korprog/progctrl/States/KvctrlView.h"
#include "korprog/runlog/RunLog.h"
#include "korprog/runlog/RunOptions.h"

namespace {

// The text as the unit holds it: the line carries a backslash as '/', and
// a fetch gives each '/' back as a backslash, so the two are one character
// to the unit.
std::string asHeld(std::string s)
{
    for (char& c : s)
        if (c == '\\') c = '/';
    return s;
}

}  // namespace

bool KvctrlReadBack::enabled(KvctrlRoot* root)
{
    if (RunMode::unattended()) return RunOptions::VERIFY;
    return !root->configInit() || root->configInit()->verifyAfterProgramming();
}

std::vector<EntryDifference> KvctrlReadBack::compare(SettingBin& bin, const std::vector<AdnFile::Line>& fetched,
                                                     const std::vector<bool>& got)
{
    std::vector<EntryDifference> out;
    for (int k = 1; k <= AdnFile::LINES && k <= int(fetched.size()); ++k) {
        const uint8_t nr = uint8_t(k);
        if (nr == SettingBin::IMEI_POS || nr == SettingBin::IMSI_POS || !bin.validEntry(nr)) continue;
        const SettingEntry* e = bin.getEntry(nr);
        if (!e) continue;
        const AdnFile::Line none;
        const AdnFile::Line& read = got[k - 1] ? fetched[k - 1] : none;
        if (asHeld(read.text) != asHeld(e->text)) out.push_back({k, "text", e->text, read.text, ""});
        if (read.number != e->tfnr) out.push_back({k, "number", e->tfnr, read.number, ""});
    }
    return out;
}

std::string KvctrlReadBack::reason(const std::vector<EntryDifference>& differences)
{
    std::string s = "verify failed: ";
    int named = 0;
    for (const EntryDifference& d : differences) {
        if (named == NAMED) break;
        s += (named++ ? "; " : "") + std::string("entry ") + std::to_string(d.entry) +
             (d.field == "number" ? " number" : "") + " reads back '" + d.read + "' instead of '" + d.sent + "'";
    }
    const int more = int(differences.size()) - named;
    if (more > 0) s += "; and " + std::to_string(more) + " more";
    return s;
}

namespace {

// The window's alert: the differences in the chosen language.
std::string toldInWindow(const SettingBin& bin, const std::vector<EntryDifference>& differences)
{
    std::string s = Translated::message("Controle mislukt: de Korvan houdt andere instellingen dan er geprogrammeerd zijn") + ":\n";
    int named = 0;
    for (const EntryDifference& d : differences) {
        if (named++ == KvctrlReadBack::NAMED) break;
        // Named as the editor labels it.
        std::string field = bin.sbEntryTitle(static_cast<uint8_t>(d.entry), d.field == "number" ? 'N' : 'T');
        if (!field.empty()) field[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(field[0])));
        s += Translated::message("%s leest '%s' in plaats van '%s'", field.c_str(), d.read.c_str(), d.sent.c_str()) + "\n";
    }
    const int more = int(differences.size()) - KvctrlReadBack::NAMED;
    if (more > 0) s += Translated::message("en nog %d", more) + "\n";
    return s;
}

}  // namespace

void KvctrlReadBack::conclude(KvctrlRoot* root, BState* from, const std::vector<AdnFile::Line>& fetched,
                              const std::vector<bool>& got, bool complete)
{
    SettingBin* bin = root->korSettingBin();
    const std::vector<EntryDifference> differences = complete ? compare(*bin, fetched, got) : std::vector<EntryDifference>();
    const bool ok = complete && differences.empty();
    RunLog::verify(ok, differences);
    const bool forUpgrade = KvctrlRunPlan::settingsOfUpgrade();
    if (ok && FrmKorProgImpl::CMDL_PROGRAM && !forUpgrade) KvctrlUnitValues::unitHoldsRow();
    if (ok) root->statusNote(Translated::message("Gecontroleerd: de Korvan houdt de geprogrammeerde instellingen"));
    root->runPlan()->settingsVerified(from, ok);
    if (!ok) {
        const std::string english = complete ? reason(differences) : "verify failed: the settings could not be read back";
        BTrace::instance()->dbgPrint(english, true, true);
        if (RunMode::unattended()) {
            KvctrlUnattended::fail(RunFailure::Kind::Verify, english);
        } else {
            const std::string told = complete ? toldInWindow(*bin, differences)
                                              : Translated::message("Controle mislukt: de instellingen konden niet teruggelezen worden");
            root->statusNote(complete ? Translated::message("Controle mislukt: de Korvan houdt andere instellingen dan er geprogrammeerd zijn")
                                      : told);
            Dialog::alert("%s", told.c_str());
        }
    }
    if (FrmKorProgImpl::CMDL_PROGRAM && !(ok && forUpgrade)) root->frame()->shutdown();
}
