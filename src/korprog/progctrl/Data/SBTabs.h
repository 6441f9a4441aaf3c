#ifndef KORPROG_PROGCTRL_DATA_SBTABS_H
#define KORPROG_PROGCTRL_DATA_SBTABS_H

#include <FL/Fl_Tabs.H>
#include <cstdio>
#include <string>
#include <vector>

class Fl_Help_View;
class SBEntry;
class SBInput;
class SBTabSheet;
class SettingBin;

// The settings editor: one tab sheet per run of layout-table rows with the
// same tab name, one widget per row that fits the bin's unit, each bound to
// one part of one setting entry. Opening always rebuilds from the table, so
// a changed settings type changes which rows appear. Owns the sheets. While
// open, the bin's entries point at the widgets' definitions: the bin must
// outlive the editor, or the editor be closed first.
class SBTabs : public Fl_Tabs {
public:
    static const int MAX_CONFIG_LINE_LEN = 512;

    SBTabs(int x, int y, int w, int h, const char* label = nullptr);
    // Closes the editor.
    ~SBTabs() override;

    void configFile(const char* file) { _configFile = file ? file : ""; }
    const char* configFile() const { return _configFile.c_str(); }
    void helpView(Fl_Help_View* view) { _helpView = view; }
    Fl_Help_View* helpView() const { return _helpView; }
    SettingBin* settingBin() const { return _settingBin; }

    // Removes all tabs and builds them anew for the bin.
    void editSettingBin(SettingBin* settingBin);
    // Removes all tabs and forgets the bin; the bin keeps its values.
    void editClose();

    // Shows a help page (a file of that name) or, when there is no such
    // file, the help text itself. Nothing happens for an empty help.
    void loadHelp(const char* help);
    // The same, in the editor that holds widget w (nothing outside one).
    static void showHelp(Fl_Widget* w, const char* help);

private:
    void fillList();
    // One line of the table, cut to MAX_CONFIG_LINE_LEN - 1 characters;
    // false at the end of the file.
    static bool readLine(FILE* fd, char* line);
    void addWidget(SBEntry* sbEntry, SBTabSheet* sheet, std::vector<SBInput*>& inputs);
    void removeTabs();

    std::string _configFile;
    Fl_Help_View* _helpView;
    SettingBin* _settingBin;
};

#endif
