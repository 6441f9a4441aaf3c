#ifndef KORPROG_PROGCTRL_FORMS_FRMCONSOLE_H
#define KORPROG_PROGCTRL_FORMS_FRMCONSOLE_H

#include <cstdint>
#include <cstdio>
#include <string>

#include "korprog/progctrl/Forms/FrmConsoleProgress.h"
#include "korprog/progctrl/States/KvctrlView.h"
#include "korprog/runlog/StatusOut.h"

class ConfigInit;
class KvctrlRoot;
class SettingBin;

// The controller's view when there is no display: no widgets. Each new
// status line is written to standard output (and to the trace), settings
// files named on the command line are loaded into the bin, and closing means
// ending the program. In an unattended run counted work (entries, an image)
// gives one line per tenth of it, or one line rewritten in place on a
// terminal, and nothing with -q (StatusOut).
class FrmConsole : public KvctrlView {
public:
    FrmConsole(KvctrlRoot* root, SettingBin* settingBin, FILE* out = stdout);

    void statusInfo(const char* text, bool disconnect) override;
    void countInfo(const char* text, int done, int total) override;
    void noticeInfo(const char* text) override;
    void upgradeProgress(const char*, int done, int total) override { _progress.sent(done, total); }
    void removeSettingEdit() override {}
    void ctrlBndSt(KvctrlBndToProt*) override {}
    void cursorBusy(bool) override {}
    void activateButtons(bool) override {}
    void enableSwUpgrade() override {}
    void btOptCkSwUpgrade() override {}
    bool btOpenSb() override;
    void shutdown() override;
    bool checkTypeHwVers() override;
    void waitEvents() override;

    void showBestGroup(const char*, const char*) override {}
    void showKorvanGroup(const char*, const char*, const char*, const char*, const char*) override {}
    void createSettingEdit() override {}
    void editClose() override {}

    void configInit(ConfigInit* config) override { _configInit = config; }
    void openOptionsWindow() override {}

private:
    // The last line of a count that was not written yet (not at a tenth).
    void writeUnwritten();

    KvctrlRoot* _root;
    SettingBin* _settingBin;
    ConfigInit* _configInit;
    FILE* _out;
    StatusOut::Style _style;
    std::string _lastStatus;
    std::string _unwritten;
    WorkCount _count;
    uint32_t _shownTick;
    FrmConsoleProgress _progress;
};

#endif
