#ifndef KORPROG_PROGCTRL_DATA_SETTINGBINVIEW_H
#define KORPROG_PROGCTRL_DATA_SETTINGBINVIEW_H

// What the setting bin needs from the main window. The window implements it
// and is handed to the bin with SettingBin::frame(); without one the bin
// shows nothing.
class SettingBinView {
public:
    virtual ~SettingBinView() = default;

    // File group: a non-null fileName is shown without its directory, a
    // non-null korType as its custom type name.
    virtual void showBestGroup(const char* fileName, const char* korType) = 0;
    // Unit group: the identity of the connected unit.
    virtual void showKorvanGroup(const char* type, const char* swVer, const char* special,
                                 const char* hwVer, const char* imei) = 0;
    // (Re)builds the settings editor on the bin.
    virtual void createSettingEdit() = 0;
    // Closes the settings editor.
    virtual void editClose() = 0;
    // Lets the user save the settings as "Opslaan" does; nothing without a
    // window.
    virtual void offerSave() {}
};

#endif
