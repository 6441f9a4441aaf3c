#include "korprog/progctrl/Run/KvctrlBackup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

#include "bdebug/BTrace.h"
#include "helm/BState.h"
#include "korprog/Dialog.h"
#include "korprog/RunMode.h"
#include "korprog/StringUtils.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/Translated.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/progctrl/Run/KvctrlRunPlan.h"
#include "korprog/progctrl/Run/KvctrlUnattended.h"
#include "korprog/runlog/RunLog.h"

namespace fs = std::filesystem;

const char* const KvctrlBackup::DIR = "Backups";

std::string KvctrlBackup::fileName(const std::string& type, const std::string& imei, std::time_t when)
{
    const std::string name = StringUtils::fileNameSafe((type.empty() ? "notype" : type) + "_" + (imei.empty() ? "noimei" : imei));
    std::tm utc{};
    gmtime_r(&when, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
    return std::string(DIR) + "/" + name + "_" + stamp + ".adn";
}

namespace {

const int MAX_SAME_NAME = 100;

// Makes the file under the first free name of path, path with _2, _3, ...:
// created exclusively, so that no other run takes the same one. "" and the
// errno when none could be made.
std::string reserve(const std::string& path, int* error)
{
    const fs::path p(path);
    for (int n = 1; n <= MAX_SAME_NAME; ++n) {
        const std::string name =
            n == 1 ? path : (p.parent_path() / (p.stem().string() + "_" + std::to_string(n) + p.extension().string())).string();
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST) break;
    }
    *error = errno;
    return "";
}

} // namespace

bool KvctrlBackup::save(const std::string& path, const std::vector<AdnFile::Line>& lines, std::string* why,
                        std::string* savedAs)
{
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    int error = 0;
    const std::string name = reserve(path, &error);
    if (name.empty()) {
        if (why) *why = std::strerror(error);
        return false;
    }
    // Written beside the name taken, and renamed over it once whole.
    if (!AdnFile::write(name, lines, &error)) {
        if (why) *why = std::strerror(error);
        ::unlink(name.c_str());
        return false;
    }
    if (savedAs) *savedAs = name;
    return true;
}

void KvctrlBackup::conclude(KvctrlRoot* root, BState* from, const std::vector<AdnFile::Line>& fetched, bool complete)
{
    SettingBin* bin = root->korSettingBin();
    const std::string path = fileName(bin->unitKorType(), bin->unitImei(), std::time(nullptr));
    std::string why = "the unit sent no settings", saved;
    if (complete && save(path, fetched, &why, &saved)) {
        std::error_code ec;
        const std::string shown = fs::absolute(saved, ec).string();
        RunLog::backup(shown);
        root->frmStatusInfo(Translated::message("Reservekopie opgeslagen in %s", shown.c_str()).c_str(), false);
        root->runPlan()->backupMade(from, shown);
        return;
    }
    BTrace::instance()->dbgPrint("backup failed: " + why, true, true);
    if (RunMode::unattended()) {
        KvctrlUnattended::fail(RunFailure::Kind::Backup,
                               "backup failed: " + why + "; the upgrade was not started");
        return;
    }
    const std::string told = complete ? Translated::message("%s kon niet geschreven worden: %s", path.c_str(), why.c_str())
                                      : Translated::message("de Korvan stuurde de instellingen niet volledig");
    const std::string question = Translated::message("De reservekopie is mislukt: %s.", told.c_str()) + "\n" +
                                 gettext("Doorgaan zonder reservekopie?", 0);
    if (Dialog::choice(question.c_str(), gettext("Nee", 0), gettext("Ja", 0), nullptr, 0) == 1) {
        root->runPlan()->backupMade(from, "");
        return;
    }
    // Nothing of the upgrade went out: the pack's settings stay out too.
    root->runPlan()->dropSettings();
    root->statusNote(Translated::message("De reservekopie is mislukt: de upgrade is niet gestart"));
}
