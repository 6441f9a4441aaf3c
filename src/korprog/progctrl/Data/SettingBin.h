#ifndef KORPROG_PROGCTRL_DATA_SETTINGBIN_H
#define KORPROG_PROGCTRL_DATA_SETTINGBIN_H

#include <cstdint>
#include <string>

#include "korprog/progctrl/Data/SBEntry.h"
#include "korprog/progctrl/Data/SettingEntry.h"

class KorTypeNames;
class SettingBinOwner;
class SettingBinView;

// Everything the tool knows about one unit's settings: the connected unit's
// identity, the 200 numbered entries, and the settings type (entry 10) and
// special build (entry 20) they belong to. Filled by a download, a settings
// file (.adn) or the new-settings window; read by the upload, the save and
// the editor.
class SettingBin {
public:
    typedef ::SettingEntry SettingEntry;

    static const uint8_t MAX_ENTRIES = 201;
    static const uint8_t MAX_TEXT = 12;
    static const uint8_t MAX_TEXT_EXT = 50;
    static const uint8_t MAX_NRS = 20;
    static const uint8_t MAX_INFOSTR = 40;

    static const uint8_t KORTYPE_POS = 10;
    static const uint8_t KORSPECIAL_POS = 20;
    static const uint8_t IMEI_POS = 115;
    static const uint8_t IMSI_POS = 116;

    static const uint8_t NRIN_POS = 2;
    static const uint8_t NR_U_IN_POS = 3;
    static const uint8_t NR_I_IN_POS = 4;
    static const uint8_t NROUT_POS = 5;
    static const uint8_t NWTP_POS = 6;
    static const uint8_t REPFNC_POS = 7;
    static const uint8_t PWROPT_POS = 9;

    enum NetworkType { PSTN = 0, GSM = 1, GPRS = 2, UNDEF_TP = 255 };
    enum ReportFunction { MODEM_SMS = 0, SMS = 1, UNDEF_FNC = 255 };
    enum PowerOption { EXTERNAL = 0, ACCUMULATOR = 1, BATTERY = 2, UNDEF_PWR = 255 };

    // What an empty entry 10 becomes when a settings file is read.
    static const char* const DEFAULT_KORTYPE;

    explicit SettingBin(SettingBinOwner* root);
    virtual ~SettingBin();

    // Stores one or both parts of entry nr (a null part is left alone);
    // false when a part had to be cut or nr is outside the table. A part
    // typed too long is cut with an alert naming the field; one fetched from
    // the unit (fromDnld) without: the fetch tells them all at its end.
    bool setEntry(uint8_t nr, const char* txt, const char* num, bool fromDnld, SBEntry::EntryType type);
    // Entry nr, or null outside 0..200.
    SettingEntry* getEntry(uint8_t nr);
    bool validEntry(uint8_t nr) const;
    // The connected unit's identity; all empty while no unit is connected.
    // The settings stay while the unit is away and when it comes back. When
    // a unit of another type reports itself they are dropped, after asking
    // whether to keep or save them when they hold unsaved changes.
    void storeStatusInfo(const char* type, const char* swVer, const char* special, const char* hwVer,
                         const char* emi);
    void totalNrEntries(uint8_t n);
    void enableEdit();

    // The settings file the entries were loaded from or are saved to
    // (AdnFile reads and writes it).
    void file(const char* path);
    const char* file() const { return _file.c_str(); }

    // A character a text part may hold: not ';' or '/' (the unit's own
    // separators), nor '|' (the settings file's) or a double quote (the
    // frame's).
    static bool textMayHold(char c);

    void korTypeFromNew(const char* customType, const char* special, bool cleanup);
    bool checkKorTypes();
    uint8_t textFieldSize(uint8_t nr, SBEntry::EntryType type) const;
    // The longest text entry nr of the connected unit takes, by the unit's
    // own type; textFieldSize while no unit has told its type.
    uint8_t unitTextFieldSize(uint8_t nr) const;
    bool entrySupported(uint8_t nr, char list) const;
    void setSbEntry(SBEntry* sbEntry);
    // "Tab, Name" of this part of entry nr, from the editor or, without
    // one, from the layout table (config.csv); "instelling nr" (translated)
    // when the table has no row for it.
    std::string sbEntryTitle(uint8_t nr, char list) const;
    // "Tab, Name" of this part of entry nr from the layout table for the
    // settings type; "" when the table has no row for it.
    std::string titleFromTable(uint8_t nr, char list) const;
    // The field's own label there ("Naam 1"), as a line about one unit's
    // entry names it; "" without a row.
    std::string labelFromTable(uint8_t nr, char list) const;
    void setNetworkTypeEtc(const char* type);
    void cleanUpEntries(bool cleanType);

    // The connected unit's type code; "" while no unit is connected.
    const char* unitKorType() const { return _korType; }
    const char* unitImei() const { return _korEmi; }
    const char* unitSpecial() const { return _korSpecial; }
    // The settings type and special build (entries 10 and 20).
    const char* korType() const { return _entryArr[KORTYPE_POS].text; }
    const char* korSpecial() const { return _entryArr[KORSPECIAL_POS].text; }
    uint8_t nrIn() const { return _nrIn; }
    uint8_t nrUin() const { return _nrUin; }
    uint8_t nrIin() const { return _nrIin; }
    uint8_t nrOut() const { return _nrOut; }
    NetworkType networkType() const { return _networkType; }
    ReportFunction repFunc() const { return _repFunc; }
    PowerOption pwrOption() const { return _pwrOption; }
    SettingBinView* frame() const { return _frame; }
    void frame(SettingBinView* frame) { _frame = frame; }
    KorTypeNames* korTypeNames() const { return _korTypeNames; }
    void korTypeNames(KorTypeNames* names) { _korTypeNames = names; }
    // The settings file, in the one place that knows its format
    // (AdnFile): a load that fails leaves the bin as it was; a store is
    // written whole or not at all.
    bool loadFromFile(const std::string& path, bool strict, std::string* why);
    bool storeToFile();

    bool editFromDownload() const { return _editFromDownload; }
    void editFromDownload(bool on) { _editFromDownload = on; }
    bool doProgramming() const { return _doProgramming; }
    void doProgramming(bool on) { _doProgramming = on; }
    bool progPreUpgrade() const { return _progPreUpgrade; }
    void progPreUpgrade(bool on) { _progPreUpgrade = on; }
    // Edits made since the settings were opened, saved, started new or
    // fetched whole from the unit.
    bool unsavedChanges() const { return _unsavedChanges; }
    void unsavedChanges(bool on) { _unsavedChanges = on; }
    // The question before unsaved edits would go: lead (what happens, its
    // own lines) above, consequence below the line that they are not saved.
    // Keeping them is the default.
    enum UnsavedAnswer { KEEP_EDITS, SAVE_EDITS, DROP_EDITS };
    static UnsavedAnswer askUnsaved(const std::string& lead, const std::string& consequence);
    // The layout table the editor is built from.
    static const char* const LAYOUT_TABLE;
    static uint8_t maxKorEntries() { return _maxKorEntries; }
    // Forgets the count the last unit reported, as at start-up.
    static void forgetKorEntries() { _maxKorEntries = MAX_ENTRIES; }

private:
    bool tableRow(uint8_t nr, char list, std::string* tab, std::string* name) const;
    SettingBin(const SettingBin&) = delete;
    SettingBin& operator=(const SettingBin&) = delete;

    // A text part as stored: without the characters it may not hold, line
    // breaks as blanks, at most MAX_TEXT_EXT characters.
    static void storeText(char (&text)[SettingEntry::TEXT_SIZE], const char* src, size_t len);
    // A number part as stored: without double quotes, line breaks as
    // blanks, at most MAX_NRS characters.
    static void storeNumber(char (&nr)[SettingEntry::NR_SIZE], const char* src, size_t len);
    // The alert for a part typed longer than its field allows.
    void tooLongAlert(uint8_t nr, char list, int max, const char* unit) const;
    // A unit of another type reported itself: true when the settings go.
    bool dropForOtherUnit(const char* type);
    uint16_t traceLevel() const;
    static NetworkType networkOf(char c);
    static uint8_t fieldSize(NetworkType nt, uint8_t nr);

    SettingBinOwner* _root;
    char _korType[MAX_INFOSTR + 1];
    char _korSwVer[MAX_INFOSTR + 1];
    char _korSpecial[MAX_INFOSTR + 1];
    char _korHwVer[MAX_INFOSTR + 1];
    char _korEmi[MAX_INFOSTR + 1];
    // The type of the unit last connected, kept while it is away.
    char _lastUnitType[MAX_INFOSTR + 1];
    uint8_t _nrIn;
    uint8_t _nrUin;
    uint8_t _nrIin;
    uint8_t _nrOut;
    NetworkType _networkType;
    ReportFunction _repFunc;
    PowerOption _pwrOption;
    SettingBinView* _frame;
    KorTypeNames* _korTypeNames;
    SettingEntry _entryArr[MAX_ENTRIES];
    std::string _file;
    bool _editFromDownload;
    bool _doProgramming;
    bool _progPreUpgrade;
    bool _unsavedChanges;

    static uint8_t _maxKorEntries;
    static const char _txtNotAllowedChars[];
};

#endif
