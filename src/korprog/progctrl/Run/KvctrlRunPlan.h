#ifndef KORPROG_PROGCTRL_RUN_KVCTRLRUNPLAN_H
#define KORPROG_PROGCTRL_RUN_KVCTRLRUNPLAN_H

#include <string>

#include "helm/BEvent.h"

class BState;
class KvctrlRoot;

// The plan of a run through the unit, one for the window and for unattended
// runs: which steps an upgrade takes and in which order, what each step
// produced, and which step comes next. A step that ends tells its plan and
// the plan posts the request of the next one; no step decides what follows.
//
// An upgrade is, in this order (a step that does not apply is left out):
//   Backup    the unit's settings saved first (-nobackup, a unit in its
//             boot loader and an upgrade the unit asked for have none)
//   Settings  the settings the image carries, programmed ("Programmeren")
//   ReadBack  those settings fetched again and compared (when enabled)
//   Image     the boot loader and the image (KvctrlUpgrading); the unit's
//             report of its new version ends it (KvctrlVersionCheck)
// A request that meets a step still to be made (the backup) is held and
// posted again once the step is made.
//
// A fetch (-fetch) and a compare (-compare) are one step: the settings
// fetched into a store of their own (KvctrlDownloading, FETCH), whose end
// (KvctrlSettingsRun) writes or compares them and ends the run.
class KvctrlRunPlan {
public:
    enum class Step { Backup, Settings, ReadBack, Image };
    // Why an upgrade cannot be prepared, in the order it is checked.
    enum class Fault { None, NotAllowed, NoBootLoader, NotLoaded, SettingsNotPrepared };
    struct Prepared {
        Fault fault = Fault::None;
        // The settings file the image carries, "" when it carries none.
        std::string settings;
    };

    explicit KvctrlRunPlan(KvctrlRoot* root);

    // The one preparation of an upgrade, the window's and an unattended
    // run's, once the image's pack is selected for the unit connected now:
    // the image suits the unit (unless its boot record decides: unitDecides),
    // the pack's boot loader fits one frame, and the image and the settings
    // it carries load.
    Prepared prepareUpgrade(const char* image, bool unitDecides);
    // Starts a prepared upgrade from `from`. withSettings: the image's
    // settings are in the setting bin and go first.
    void startUpgrade(BState* from, bool withSettings);

    // Starts the fetch of -fetch or -compare from `from`.
    void startFetch(BState* from);

    // An upgrade is on its way: its settings or its backup are taken, and
    // the step that took them posts the next request.
    bool underway() const { return settingsOfUpgrade() || _backupDone; }
    // The settings at hand are the ones an image carries.
    static bool settingsOfUpgrade();
    // Nothing of the upgrade went out: the image does not follow the
    // settings it carries.
    void dropSettings();

    // Whether the request at hand must wait for a backup: asked for
    // (-nobackup leaves it out), not made yet for this upgrade, and the unit
    // runs its application.
    bool backupNeeded() const;
    // Whether request must wait for the backup (KvctrlDownloading, BACKUP):
    // then it is held, and posted again once the backup is made.
    bool backupFirst(SignalId request);
    // The backup of the settings about to be replaced, "" when the
    // engineer went on without; the request held up is posted again.
    void backupMade(BState* from, const std::string& file);
    // The backup file of the last upgrade, "" when it had none.
    const std::string& backupFile() const { return _backupFile; }

    // Whether the settings just programmed are read back: the whole upload
    // taken (taken) and read-back enabled, and the program not ending.
    bool readBackAfter(bool taken);
    // The upload ended (complete: every entry went in).
    void settingsSent(BState* from, bool complete);
    // The read-back ended (verified: the unit holds what was sent).
    void settingsVerified(BState* from, bool verified);

    // The image's step begins and ends (its state's entry and end).
    void imageBegins();
    void imageEnded();

private:
    void next(BState* from, SignalId request);

    KvctrlRoot* _root;
    bool _backupDone = false;
    std::string _backupFile;
    SignalId _heldForBackup;
    bool _readBackPlanned = false;
};

#endif
