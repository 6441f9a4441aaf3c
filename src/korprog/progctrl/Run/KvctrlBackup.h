#ifndef KORPROG_PROGCTRL_RUN_KVCTRLBACKUP_H
#define KORPROG_PROGCTRL_RUN_KVCTRLBACKUP_H

#include <ctime>
#include <string>
#include <vector>

#include "helm/BEvent.h"
#include "korprog/progctrl/Data/AdnFile.h"

class BState;
class KvctrlRoot;

// The backup before an upgrade: the settings of a unit that runs its
// application are fetched (KvctrlDownloading, BACKUP) and saved to
// Backups/TYPE_IMEI_YYYYMMDD-HHMMSS.adn before anything of the upgrade goes
// out, the settings its pack carries included. The request that started
// the upgrade waits in the run's plan and is posted again once the
// backup is saved. Whether one is needed is the run's plan's question
// (KvctrlRunPlan::backupNeeded).
class KvctrlBackup {
public:
    static const char* const DIR;

    // Backups/TYPE_IMEI_YYYYMMDD-HHMMSS.adn, the time in UTC; "noimei"
    // without an IMEI; characters a file name cannot hold become '_'.
    static std::string fileName(const std::string& type, const std::string& imei, std::time_t when);
    // Writes the lines whole or not at all (the directory is made), never
    // over another backup: when one of that name is there (units without an
    // IMEI saved in the same second on a production line) the name gets _2,
    // _3, ... before its extension. The name used goes to savedAs; false
    // with why.
    static bool save(const std::string& path, const std::vector<AdnFile::Line>& lines, std::string* why,
                     std::string* savedAs = nullptr);
    // Saves what was fetched and lets the upgrade go on; a fetch or save
    // that failed stops it (unattended: the run fails) unless the engineer
    // goes on without.
    static void conclude(KvctrlRoot* root, BState* from, const std::vector<AdnFile::Line>& fetched, bool complete);
};

#endif
