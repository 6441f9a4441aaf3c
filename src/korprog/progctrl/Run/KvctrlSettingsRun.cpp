#include "korprog/progctrl/Run/KvctrlSettingsRun.h"

#include <cstring>
#include <filesystem>

#include "korprog/StringUtils.h"
#include "korprog/conndrv/Data/PortNames.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/Data/Translated.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/progctrl/Run/KvctrlReadBack.h"
#include "korprog/progctrl/Run/KvctrlRunPlan.h"
#include "korprog/progctrl/Run/KvctrlTextFit.h"
#include "korprog/progctrl/Run/KvctrlUnattended.h"
#include "korprog/progctrl/States/KvctrlDownloading.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/progctrl/States/KvctrlView.h"
#include "korprog/runlog/RunLog.h"
#include "korprog/runlog/RunOptions.h"
#include "korprog/runlog/StatusOut.h"

namespace fs = std::filesystem;

namespace {

using Kind = RunFailure::Kind;

void replaceAll(std::string& s, const std::string& what, const std::string& by)
{
    for (size_t at = 0; (at = s.find(what, at)) != std::string::npos; at += by.size()) s.replace(at, what.size(), by);
}

std::string shownName(const std::string& path) { return fs::path(path).filename().string(); }

// How far a fetch that did not end got: its last entry, 0 for none.
int lastEntry(const std::vector<bool>& got)
{
    for (int k = int(got.size()); k >= 1; --k)
        if (got[k - 1]) return k;
    return 0;
}

// "12, 37, 38, 40, 41 and 3 more": the entries of the differences, once each.
std::string entriesOf(const std::vector<EntryDifference>& differences)
{
    std::vector<int> entries;
    for (const EntryDifference& d : differences)
        if (entries.empty() || entries.back() != d.entry) entries.push_back(d.entry);
    std::string s;
    const size_t named = std::min<size_t>(entries.size(), KvctrlReadBack::NAMED);
    for (size_t k = 0; k < named; ++k) s += (k ? ", " : "") + std::to_string(entries[k]);
    if (entries.size() > named) s += " and " + std::to_string(entries.size() - named) + " more";
    return std::to_string(entries.size()) + (entries.size() == 1 ? " entry (" : " entries (") + s + ")";
}

}  // namespace

bool KvctrlSettingsRun::withUnit() { return FETCH || (COMPARE && !*WITH_FILE); }

bool KvctrlSettingsRun::comparesFiles() { return COMPARE && *WITH_FILE; }

std::string KvctrlSettingsRun::commandLineFault()
{
    if (*WITH_FILE && !COMPARE) return "-with needs -compare FILE, the file to compare it with";
    const int runs = int(FrmKorProgImpl::CMDL_PROGRAM) + int(RevPackDb::CMDL_UPGRADE) + int(FETCH) + int(COMPARE);
    if ((FETCH || COMPARE) && runs > 1) return "one run at a time: -program, -upgrade, -fetch or -compare";
    if (comparesFiles() && RunOptions::PORTS.size() > 1)
        return "-compare FILE -with OTHER compares two files: there is no unit for several -port options";
    return "";
}

std::string KvctrlSettingsRun::inputFault()
{
    std::string why;
    if (COMPARE && !KvctrlUnattended::checkProgramFile(COMPARE_FILE, &why)) return why;
    if (comparesFiles() && !KvctrlUnattended::checkProgramFile(WITH_FILE, &why)) return why;
    if (!FETCH) return "";
    // Refused before the fetch: the unit's settings would have nowhere to go.
    const fs::path target(FETCH_FILE);
    std::error_code ec;
    if (target.filename().empty() || fs::is_directory(target, ec))
        return std::string(FETCH_FILE) + ": a directory, not a settings file";
    const fs::path dir = target.parent_path();
    if (!dir.empty() && dir.string().find('{') == std::string::npos && !fs::is_directory(dir, ec))
        return std::string(FETCH_FILE) + ": no directory " + dir.string();
    return "";
}

std::string KvctrlSettingsRun::fileFor(const std::string& pattern, const std::string& port, const std::string& imei,
                                       const std::string& type)
{
    std::string file = pattern;
    replaceAll(file, "{port}", StringUtils::fileNameSafe(port.empty() ? "noport" : PortNames::shortName(port)));
    replaceAll(file, "{imei}", StringUtils::fileNameSafe(imei.empty() ? "noimei" : imei));
    replaceAll(file, "{type}", StringUtils::fileNameSafe(type.empty() ? "notype" : type));
    return file;
}

bool KvctrlSettingsRun::namesEachUnit(const std::string& pattern)
{
    return pattern.find("{port}") != std::string::npos || pattern.find("{imei}") != std::string::npos;
}

void KvctrlSettingsRun::start(KvctrlRoot* root, BState* from)
{
    std::string why;
    // Compared as -program would send it: a file it refuses is refused
    // before the unit is asked for its settings, texts too long for the
    // unit's fields included.
    SettingBin* bin = root->korSettingBin();
    if (COMPARE && !bin->loadFromFile(COMPARE_FILE, true, &why)) {
        KvctrlUnattended::fail(Kind::BadInput, std::string(COMPARE_FILE) + ": " + why);
        return;
    }
    const std::vector<KvctrlTextFit::TooLong> tooLong = KvctrlTextFit::find(bin);
    if (COMPARE && !tooLong.empty()) {
        KvctrlUnattended::fail(Kind::BadInput, KvctrlTextFit::reason(bin, tooLong, "nothing was compared"));
        return;
    }
    root->runPlan()->startFetch(from);
}

void KvctrlSettingsRun::conclude(KvctrlRoot* root, const std::vector<AdnFile::Line>& fetched,
                                 const std::vector<bool>& got, bool complete)
{
    if (!complete) {
        const int last = lastEntry(got);
        const std::string left = FETCH ? "no file was written" : "nothing was compared";
        const std::string total = std::to_string(KvctrlRoot::entriesOfUnit());
        KvctrlUnattended::fail(Kind::UnitLost,
                               last == 0 ? "the unit sent no settings; " + left
                                         : "the unit was lost while its settings were fetched, after entry " +
                                               std::to_string(last) + " of " + total + "; " + left);
        return;
    }
    if (FETCH)
        concludeFetch(root, fetched, got);
    else
        concludeCompare(root, fetched, got);
}

void KvctrlSettingsRun::concludeFetch(KvctrlRoot* root, const std::vector<AdnFile::Line>& fetched,
                                      const std::vector<bool>& got)
{
    // Taken as "Ophalen" takes them, written as "Opslaan" writes them.
    SettingBin* bin = root->korSettingBin();
    bin->editFromDownload(true);
    const std::string cut = KvctrlDownloading::takeIntoBin(*bin, fetched, got);
    if (!cut.empty()) root->frmStatusNotice(Translated::message("Ophalen gereed, ingekort: %s", cut.c_str()));
    const std::string file = fileFor(FETCH_FILE, root->cfgComPort(), bin->unitImei(), bin->unitKorType());
    int error = 0;
    if (!AdnFile::write(file, AdnFile::linesOf(*bin), &error)) {
        KvctrlUnattended::fail(Kind::Other, "cannot write " + file + ": " + std::strerror(error) +
                                                "; the settings were fetched, nothing was written");
        return;
    }
    RunLog::written(file);
    root->frame()->shutdown();
}

void KvctrlSettingsRun::concludeCompare(KvctrlRoot* root, const std::vector<AdnFile::Line>& fetched,
                                        const std::vector<bool>& got)
{
    SettingBin* bin = root->korSettingBin();
    std::vector<EntryDifference> differences = KvctrlReadBack::compare(*bin, fetched, got);
    const int special = SettingBin::KORSPECIAL_POS;
    const std::string unitSpecial = got[special - 1] ? fetched[special - 1].text : bin->korSpecial();
    if (!tell(differences, bin->unitKorType(), unitSpecial.c_str(), "unit")) {
        KvctrlUnattended::fail(Kind::Verify, "the unit's settings differ from " + shownName(COMPARE_FILE) + " in " +
                                                 entriesOf(differences));
        return;
    }
    root->frame()->shutdown();
}

void KvctrlSettingsRun::compareFiles()
{
    SettingBin file(nullptr), other(nullptr);
    std::string why;
    // Both read as -program reads a file, so that each is what a unit
    // programmed with it would hold.
    for (auto& [bin, path] : {std::pair<SettingBin*, const char*>{&file, COMPARE_FILE}, {&other, WITH_FILE}}) {
        if (!bin->loadFromFile(path, true, &why)) {
            KvctrlUnattended::fail(Kind::BadInput, std::string(path) + ": " + why);
            return;
        }
    }
    std::vector<EntryDifference> differences =
        KvctrlReadBack::compare(file, AdnFile::linesOf(other), std::vector<bool>(AdnFile::LINES, true));
    if (!tell(differences, file.korType(), file.korSpecial(), "with"))
        KvctrlUnattended::fail(Kind::Verify, shownName(COMPARE_FILE) + " and " + shownName(WITH_FILE) +
                                                 " differ in " + entriesOf(differences));
}

bool KvctrlSettingsRun::tell(std::vector<EntryDifference>& differences, const char* type, const char* special,
                             const std::string& heldBy)
{
    // Labelled by the table's rows for the type compared with.
    SettingBin labels(nullptr);
    StringUtils::copyTo(labels.getEntry(SettingBin::KORTYPE_POS)->text, type);
    StringUtils::copyTo(labels.getEntry(SettingBin::KORSPECIAL_POS)->text, special);
    const bool unit = heldBy == "unit";
    const std::string by = unit ? "the unit" : shownName(WITH_FILE);
    const std::string file = unit ? "the file" : shownName(COMPARE_FILE);
    for (EntryDifference& d : differences) {
        d.name = labels.labelFromTable(static_cast<uint8_t>(d.entry), d.field == "number" ? 'N' : 'T');
        // The result of the run: shown with -q too.
        StatusOut::line(RunLog::statusOut(), told(d, by, file), true);
    }
    RunLog::verify(differences.empty(), differences, heldBy);
    return differences.empty();
}

std::string KvctrlSettingsRun::told(const EntryDifference& d, const std::string& heldBy, const std::string& file)
{
    return "entry " + std::to_string(d.entry) + (d.field == "number" ? " number" : "") +
           (d.name.empty() ? "" : " (" + d.name + ")") + ": " + heldBy + " holds '" + d.read + "', " + file + " '" +
           d.sent + "'";
}

void KvctrlSettingsRun::reset()
{
    FETCH = COMPARE = false;
    FETCH_FILE = COMPARE_FILE = WITH_FILE = "";
}
