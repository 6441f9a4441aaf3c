#include "korprog/progctrl/Run/KvctrlUnattended.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "bdebug/BTrace.h"
#include "helm/BState.h"
#include "korprog/progctrl/Data/AdnFile.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/Translated.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/progctrl/Run/KvctrlRunPlan.h"
#include "korprog/progctrl/Run/KvctrlUnitValues.h"
#include "korprog/progctrl/Run/KvctrlSettingsRun.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/runlog/RunLog.h"
#include "korprog/runlog/StatusOut.h"
#include "main/Main.h"

namespace fs = std::filesystem;

namespace {

// The pack's name as the database takes it: without ".rpa" or ".RPA".
void cutPackExtension()
{
    static char pack[RevPackDb::MAX_NAME];
    std::string name = RevPackDb::CMDL_REVPACK;
    name = RevPackDb::packName(name);
    std::snprintf(pack, sizeof pack, "%s", name.c_str());
    RevPackDb::CMDL_REVPACK = pack;
}

bool isImage(RevPackDb* db, const char* bin)
{
    if (std::strstr(bin, RevPackDb::BOOT_LOAD_NAME)) return false;
    for (int i = 0; i < db->actNrBinFiles(); ++i)
        if (std::strcmp(db->actBinFile(i), bin) == 0) return true;
    return false;
}

}  // namespace

bool KvctrlUnattended::upgrade() { return RevPackDb::CMDL_UPGRADE; }

bool KvctrlUnattended::checkInput(KvctrlRoot* root)
{
    std::string why;
    if (FrmKorProgImpl::CMDL_PROGRAM) checkProgramFile(FrmKorProgImpl::PROG_FILE_ADN, &why);
    if (why.empty()) why = KvctrlUnitValues::inputFault();
    if (why.empty() && RevPackDb::CMDL_UPGRADE) why = upgradeInputFault(root);
    if (why.empty()) why = KvctrlSettingsRun::inputFault();
    if (why.empty()) return true;
    fail(RunFailure::Kind::BadInput, why);
    return false;
}

bool KvctrlUnattended::checkProgramFile(const char* path, std::string* why)
{
    const std::string name = path ? path : "";
    if (AdnFile::read(name, AdnFile::STRICT, nullptr, why) == AdnFile::LOADED) return true;
    *why = name + ": " + *why;
    return false;
}

std::string KvctrlUnattended::upgradeInputFault(KvctrlRoot* root)
{
    if (!RevPackDb::CMDL_REVPACK[0] || !RevPackDb::CMDL_BINFILE[0])
        return "-upgrade needs -revpack NAME and -binfile IMAGE";
    cutPackExtension();
    const std::string pack = RevPackDb::CMDL_REVPACK;
    const char* bin = RevPackDb::CMDL_BINFILE;
    std::error_code ec;
    if (!fs::is_regular_file(fs::path(Main::_revpacksDir) / (pack + ".rpa"), ec))
        return "no revision pack " + pack + " in " + Main::_revpacksDir;
    root->createRevPack();
    RevPackDb* db = root->revPack();
    if (!db->checkCheckSum((pack + ".rpa").c_str(), false))
        return db->readError().empty() ? "revision pack " + pack + " fails its checksum" : db->readError();
    db->selectRpFile(pack.c_str());
    // A pack that could not be taken has no images to name.
    if (!db->packFault().empty()) return "revision pack " + pack + " " + db->packFault();
    int size = 0;
    db->getEntry(bin, RevPackDb::BIN_SIZE, size);
    if (!isImage(db, bin)) return std::string("no image ") + bin + " in revision pack " + pack;
    if (size <= 0 || size > RevPackDb::MAX_BINFILE_SIZE)
        return std::string("image ") + bin + " in revision pack " + pack + " is empty or too large";
    if (db->nrBootFiles() == 0) return "revision pack " + pack + " holds no second-stage boot loader";
    // Nothing is sent of a pack whose sizes and data disagree.
    return db->damage(bin);
}

void KvctrlUnattended::startUpgrade(KvctrlRoot* root, BState* from)
{
    // An upgrade on its way is its plan's: the step that ends posts the
    // request of the next (after the image's settings, after the backup).
    KvctrlRunPlan* plan = root->runPlan();
    if (plan->underway()) return;
    cutPackExtension();
    root->createRevPack();
    root->revPack()->selectRpFile(RevPackDb::CMDL_REVPACK);
    const char* bin = RevPackDb::CMDL_BINFILE;
    const KvctrlRunPlan::Prepared prepared = plan->prepareUpgrade(bin, false);
    using Fault = KvctrlRunPlan::Fault;
    switch (prepared.fault) {
    case Fault::None: break;
    case Fault::NotAllowed:
        fail(RunFailure::Kind::NotAllowed, std::string("image ") + bin + " is not allowed for this unit (type " +
                                               RevPackDb::actKorType() + ", hardware " +
                                               RevPackDb::actHwVersion() + ")");
        return;
    case Fault::NoBootLoader:
        // The pack's loaders do not fit the unit's processor.
        fail(RunFailure::Kind::Refused, std::string("revision pack ") + RevPackDb::CMDL_REVPACK +
                                            " has no usable boot loader for hardware " + RevPackDb::actHwVersion());
        return;
    case Fault::NotLoaded:
        fail(RunFailure::Kind::BadInput, std::string("image ") + bin + " cannot be loaded");
        return;
    case Fault::SettingsNotPrepared:
        fail(RunFailure::Kind::Other,
             std::string("the settings of image ") + bin + " cannot be prepared; nothing was sent");
        return;
    }
    const bool withSettings = !prepared.settings.empty();
    std::string why;
    if (withSettings && !root->korSettingBin()->loadFromFile(prepared.settings, false, &why)) {
        fail(RunFailure::Kind::BadInput, std::string("the settings of image ") + bin + " cannot be read (" + why + "); nothing was sent");
        return;
    }
    plan->startUpgrade(from, withSettings);
}

void KvctrlUnattended::programNotes(KvctrlRoot* root)
{
    SettingBin* sb = root->korSettingBin();
    const char* unit = sb->unitKorType();
    if (*unit && std::strcmp(sb->korType(), unit) != 0 && !sb->progPreUpgrade()) {
        const std::string line = std::string(gettext("Attentie!! Korvan Type", 0)) + " \"" + sb->korType() + "\" " +
                                 gettext("in Bestand verschilt met", 0) + " " + gettext("Verbonden Korvan Type", 0) +
                                 " \"" + unit + "\": " + gettext("de instellingen worden toch geprogrammeerd", 0);
        root->frmStatusNotice(line);
    }
    const int count = SettingBin::maxKorEntries();
    const std::string left = entriesLeftOut(sb, count);
    if (left.empty()) return;
    const std::string note = Translated::message("De Korvan heeft %d instellingen: instellingen %s uit het bestand zijn niet geprogrammeerd", count, left.c_str());
    root->frmStatusNotice(note);
}

std::string KvctrlUnattended::entriesLeftOut(SettingBin* bin, int unitEntries)
{
    std::string ranges;
    int from = 0;
    for (int k = unitEntries + 1; k <= AdnFile::LINES + 1; ++k) {
        const SettingEntry* e = k <= AdnFile::LINES ? bin->getEntry(uint8_t(k)) : nullptr;
        const bool held = e && (e->text[0] != '\0' || e->tfnr[0] != '\0');
        if (held && from == 0) from = k;
        if (held || from == 0) continue;
        if (!ranges.empty()) ranges += ", ";
        ranges += std::to_string(from) + (k - 1 > from ? "-" + std::to_string(k - 1) : "");
        from = 0;
    }
    return ranges;
}

void KvctrlUnattended::loadImage(KvctrlRoot* root)
{
    root->binFileSet(false);
    cutPackExtension();
    root->createRevPack();
    RevPackDb* db = root->revPack();
    db->selectRpFile(RevPackDb::CMDL_REVPACK);
    db->setBinData(RevPackDb::CMDL_BINFILE);
    if (db->binSize() > 0 && db->binFileSelected()) {
        root->binFileSet(true);
        RunLog::image(RevPackDb::CMDL_BINFILE, db->binData(), db->binSize());
    }
    else
        fail(RunFailure::Kind::BadInput, std::string("image ") + RevPackDb::CMDL_BINFILE + " cannot be loaded");
}

bool KvctrlUnattended::createRevPack(RevPackDb* db, const char* binDir)
{
    if (!db->createDb(binDir)) {
        fail(db->createFailure());
        return false;
    }
    // The run's result line, with -q too.
    StatusOut::line(RunLog::statusOut(), "Created revision pack " + db->createdPack(), true);
    return true;
}

void (*KvctrlUnattended::signalCause)() = nullptr;

void KvctrlUnattended::fail(RunFailure::Kind kind, const std::string& reason) { fail(RunFailure{kind, reason}); }

void KvctrlUnattended::fail(const RunFailure& failure)
{
    // A run told to end fails because of it, whatever it was doing: a fetch
    // or a transfer cut short by the signal is no fault of the unit's. Only
    // a state that tells how far it got (Other) says more.
    if (failure.kind != RunFailure::Kind::Other && signalCause) signalCause();
    if (RunFailure::record(failure))
        BTrace::instance()->dbgPrint("Unattended run failed: " + failure.reason, true, true);
    Main::_shutdown = true;
}
