#ifndef KORPROG_PROGCTRL_STATES_KVCTRLROOT_H
#define KORPROG_PROGCTRL_STATES_KVCTRLROOT_H

#include <cstdint>
#include <functional>
#include <string>

#include "helm/BRootState.h"
#include "korprog/conndrv/Data/Serial.h"
#include "korprog/progctrl/Data/ConfigInitOwner.h"
#include "korprog/progctrl/Data/RevPackDbOwner.h"
#include "korprog/progctrl/Data/SettingBinOwner.h"

class BTimer;
class ConfigInit;
class KvctrlBndToProt;
class KvctrlBootInf;
class KvctrlRunPlan;
class KvctrlStiEvt;
class KvctrlVersionCheck;
class KvctrlView;
class KvprotSeeEvt;
class RevPackDb;
class SettingBin;
class SettingEntry;

// The programming controller: the logic between the main window and the
// protocol parser. The root owns the window (through its view), the setting
// bin, the configuration and the revision-pack database, keeps the unit's
// error flags and the life check, and holds the binder state in which the
// connection states run.
class KvctrlRoot : public BRootState, public SettingBinOwner, public ConfigInitOwner, public RevPackDbOwner {
public:
    enum Error {
        CTRL_GENERAL = 0,
        CTRL_NO_SIM = 1,
        CTRL_INV_PIN = 2,
        CTRL_INV_PIN_USE_PUK = 3,
        CTRL_COM_NOT_OPEN = 4,
        CTRL_KORVAN_NOT_CONNECTED = 5,
        CTRL_PROTOCOL_ERROR = 6
    };
    static constexpr int CTRL_ERR_SIZE = 7;
    static const uint8_t LIFECHECK_TMR_INTV = 1;
    static const uint8_t LIFECHECK_TIMEOUT_INTV = 10;
    // The last pack and image names keep at most this many characters.
    static constexpr int LAST_NAME_MAX = 254;

    // Builds the view the root talks to: the window when there is a display
    // (installed by main), the console otherwise.
    typedef std::function<KvctrlView*(KvctrlRoot*, SettingBin*)> ViewFactory;
    static ViewFactory viewFactory;
    // The pauses of the upgrade (tests make them instant).
    typedef void (*SleepFunc)(uint32_t ms);
    static SleepFunc sleepFunc;

    KvctrlRoot();
    ~KvctrlRoot() override;

    bool isPersistent() const override { return false; }
    void onEntry(const BEvent* e) override;
    void onSetup(BBinding* b) override { accept(b); }
    void printStateData(int argc, char** argv) override;

    // Life check: a status request every second, and a time-out that every
    // answer pushes ten seconds ahead.
    void startLifeCkTmr();
    void stopLifeCkTmr();
    void startLifeCkTimeout() { restartLifeCkTimeout(); }
    void restartLifeCkTimeout();
    void stopLifeCkTimeout();
    bool isArmedLifeCkTimeout() const;

    // The window.
    void frmStatusInfo(const char* text, bool disconnect) override;
    // The status line of counted work: text after done of total entries.
    void frmStatusCount(const char* text, int done, int total);
    // A status line that stays (KvctrlView::noticeInfo).
    void frmStatusNotice(const std::string& text);
    // How many entries a transfer of the unit's settings counts.
    static int entriesOfUnit();
    // What the last transfer left to say (a text fetched cut, a transfer
    // that did not complete), kept in the status line after every text until
    // the next transfer starts ("" removes it).
    void statusNote(const std::string& note);
    // A transfer that did not complete: the note, in red at once, and an
    // alert with the cause above it. An unattended run is ended instead by
    // its own reason, and a program that is ending tells nothing.
    void transferStopped(const std::string& cause, const std::string& note);
    // A finished upgrade: the unit must report the image's type and software
    // within VERSION_WAIT_S (KvctrlVersionCheck), and the IMEI it had before
    // when it had one.
    void awaitUpgradedVersion(const std::string& type, const std::string& software, const std::string& imei = "");
    KvctrlVersionCheck* versionCheck() const { return _versionCheck; }
    // The plan of the run at hand: its steps and what they produced.
    KvctrlRunPlan* runPlan() const { return _runPlan; }
    // told, naming the backup file of the last upgrade when it had one.
    std::string withBackup(const std::string& told) const;
    void frmUpgradeProgress(const char* text, int done, int total);
    void frmRmSetEdit();
    void frmCtrlBndSt(KvctrlBndToProt* bndSt);
    void frmSetCursorBusy(bool busy);
    void frmActivateButtons(bool on);
    void refreshWindow() override;

    // The unit's errors.
    void errorStatusByte(uint8_t b);
    void resetErrors();
    void setError(Error error, bool set);
    bool error(Error e) const { return _kvPrErrors[e]; }
    // The text of the first connection error, translated; "" without one.
    const char* errorText() const;
    static const char* const _errorText[CTRL_ERR_SIZE];
    // The chosen port could not be opened: tells the user why, once until
    // the port opens or the reason or port changes (an unattended run ends
    // with the reason instead).
    // holder: the run that has the port (PORT_LOCKED; 0 when not known);
    // reason: why a device server could not be reached (NO_CONNECTION).
    void comPortRefused(Serial::OpenFault fault, pid_t holder = 0, const char* reason = "");

    // The setting bin.
    void sbStoreStInfo(const KvctrlStiEvt* sti, const KvctrlBootInf* bti);
    void sbEnableEdit();
    bool sbEntry(const KvprotSeeEvt* see);
    SettingEntry* sbGetEntry(uint8_t nr);
    bool sbValidEntry(uint8_t nr) const;
    bool sbCheckKorTypes();

    const char* cfgComPort() const;
    // Creates the revision-pack database, or rescans its packs.
    void createRevPack();
    // The command line's pack creation: builds the pack from
    // RevPackDb::CMDL_BINDIR without a window and ends the program.
    void createRevPackUnattended();
    // The unit waits in its boot loader: tells the user to choose an image
    // and opens the upgrade tab.
    void informSetBinFile();
    void checkForRevpack();

    bool binFileSet() const { return _binFileSet; }
    void binFileSet(bool set) { _binFileSet = set; }
    bool upgrInitByKor() const override { return _upgrInitByKor; }
    void upgrInitByKor(bool set) { _upgrInitByKor = set; }
    bool activeLifeCk() const { return _actLifeCk; }
    void activeLifeCk(bool on) { _actLifeCk = on; }
    void showErrorAlert(bool on) { _showErrorAlert = on; }
    bool connected() const { return _connected; }
    void connected(bool on) { _connected = on; }
    const char* lastRevpackFile() const override { return _lastRevpackFile; }
    void lastRevpackFile(const char* file) override;
    const char* lastBinFile() const override { return _lastBinFile; }
    void lastBinFile(const char* file) override;
    KvctrlView* frame() const { return _frame; }
    SettingBin* korSettingBin() const { return _korSettingBin; }
    ConfigInit* configInit() const { return _configInit; }
    RevPackDb* revPack() const { return _revPack; }

    uint16_t traceLevel() const override { return debugLevel(); }
    const char* refPackFile() const override;
    const char* customKorType(const char* standard) const override;
    const char* replaceOmbrixByCustomType(const char* fileName) override;

private:
    // The status line: its text after the note, if any.
    void showStatus();
    std::string shownStatus() const;

    BTimer* _lifeCkTmr;
    BTimer* _lifeCkTimeout;
    KvctrlView* _frame;
    SettingBin* _korSettingBin;
    ConfigInit* _configInit;
    bool _kvPrErrors[CTRL_ERR_SIZE];
    RevPackDb* _revPack;
    bool _binFileSet;
    bool _upgrInitByKor;
    bool _actLifeCk;
    bool _showErrorAlert;
    bool _connected;
    char _lastRevpackFile[LAST_NAME_MAX + 1];
    char _lastBinFile[LAST_NAME_MAX + 1];
    std::string _comRefusalTold;  // the port refusal the user last saw
    std::string _statusNote;
    std::string _statusText;  // the last status line, without the note
    bool _statusRed;
    KvctrlVersionCheck* _versionCheck;
    KvctrlRunPlan* _runPlan;
};

#endif
