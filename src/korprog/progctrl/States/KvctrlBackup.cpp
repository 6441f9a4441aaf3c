#include "korprog/progctrl/States/KvctrlBackup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "bdebug/BTrace.h"
#include "helm/BLocalEvent.h"
#include "helm/BState.h"
#include "korprog/AtomicFile.h"
#include "korprog/Dialog.h"
#include "korprog/RunMode.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/RPText.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/progctrl/States/KvctrlUnattended.h"
#include "korprog/runlog/RunLog.h"
#include "korprog/runlog/RunOptions.h"

namespace fs = std::filesystem;

const char* const KvctrlBackup::DIR = "Backups";

bool KvctrlBackup::needed(KvctrlRoot* root)
{
    if (!RunOptions::BACKUP) return false;
    return !root->backupDone() && !root->upgrInitByKor() && root->korSettingBin()->unitKorType()[0] != '\0';
}

std::string KvctrlBackup::fileName(const std::string& type, const std::string& imei, std::time_t when)
{
    std::string name = (type.empty() ? "notype" : type) + "_" + (imei.empty() ? "noimei" : imei);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.') c = '_';
    std::tm utc{};
    gmtime_r(&when, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
    return std::string(DIR) + "/" + name + "_" + stamp + ".adn";
}

bool KvctrlBackup::save(const std::string& path, const std::vector<AdnFile::Line>& lines, std::string* why)
{
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    AtomicFile out(path);
    FILE* fd = out.open();
    bool saved = fd != nullptr;
    for (size_t k = 0; saved && k < lines.size(); ++k) std::fprintf(fd, "%s|%s\n", lines[k].text.c_str(), lines[k].number.c_str());
    saved = saved && std::ferror(fd) == 0;
    saved = out.commit() && saved;
    if (!saved && why) *why = std::strerror(out.error() ? out.error() : EIO);
    return saved;
}

void KvctrlBackup::conclude(KvctrlRoot* root, BState* from, const std::vector<AdnFile::Line>& fetched, bool complete)
{
    SettingBin* bin = root->korSettingBin();
    const std::string path = fileName(bin->unitKorType(), bin->unitImei(), std::time(nullptr));
    std::string why = "the unit sent no settings";
    if (complete && save(path, fetched, &why)) {
        std::error_code ec;
        const std::string shown = fs::absolute(path, ec).string();
        root->backupDone(true);
        RunLog::backup(shown);
        root->frmStatusInfo(RPText::message("Reservekopie opgeslagen in %s", shown.c_str()).c_str(), false);
        from->sendLocal(new BLocalEvent(root->backupFor(), true), STATE_ROOT);
        return;
    }
    BTrace::instance()->dbgPrint("backup failed: " + why, true, true);
    if (RunMode::unattended()) {
        KvctrlUnattended::fail(RunFailure::Kind::Backup,
                               "backup failed: " + why + "; the upgrade was not started");
        return;
    }
    if (Dialog::choice(gettext("Doorgaan zonder reservekopie?", 0), gettext("Nee", 0), gettext("Ja", 0), nullptr, 0) == 1) {
        root->backupDone(true);
        from->sendLocal(new BLocalEvent(root->backupFor(), true), STATE_ROOT);
        return;
    }
    // Nothing of the upgrade went out: the pack's settings stay out too.
    RevPackDb::activeAdnFileReset();
    bin->progPreUpgrade(false);
    root->statusNote(RPText::message("De reservekopie is mislukt: de upgrade is niet gestart"));
}
