#ifndef KORPROG_PROGCTRL_DATA_REVPACKDB_H
#define KORPROG_PROGCTRL_DATA_REVPACKDB_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "korprog/RunFailure.h"

class Fl_Output;
class Fl_Preferences;
class RPFile;
class RevPackDbOwner;

// The revision-pack database: lists the packs (.rpa) of the revision-pack
// directory, opens one, loads its images and boot loaders, inspects firmware
// images and verifies a pack's checksum. A pack is an FLTK preferences file;
// its groups are "General", the type list, the image list, the restriction
// list and one group per image. The command line's switches live here too.
class RevPackDb {
public:
    static constexpr int MAX_NR_FILES = 50;
    static constexpr int MAX_BINFILE_SIZE = 102400;
    static constexpr int MAX_BOOT_SIZE = 2048;
    static constexpr int MAX_TXT_LEN = 80;
    static constexpr int DFLT_INT = 0;
    static constexpr int PROCESSOR_VERSION_49 = 49;
    static constexpr int HWSW_VER_SIZE = 16;
    static constexpr int MAX_BOOTFILES = 4;
    static constexpr uint16_t START_ADDRESS_48 = 12288;
    static constexpr uint16_t START_ADDRESS_49 = 256;
    static constexpr uint16_t BOOT_END_ADDR = 1536;
    // File names and paths, the terminator included.
    static constexpr int MAX_NAME = 2048;

    // Name of the directory that holds the packs, and the vendor of a pack.
    static const char* const APPLICATION;
    static const char* const GENERAL;
    static const char* const TYPELIST_OLD;
    static const char* const BINLIST_OLD;
    static const char* const TYPELIST_NEW;
    static const char* const BINLIST_NEW;
    static const char* const HWSWLIST;
    static const char* const SWHWRESTR;
    static const char* const DB_VERSION;
    static constexpr int DB_VERSION_NR = 3;
    static const char* const BIN_SIZE;
    static const char* const BIN_TYPE;
    static const char* const BIN_VERSION;
    static const char* const BIN_HWVERS;
    static const char* const BIN_SPECIAL;
    static const char* const BIN_DATA;
    static const char* const ADN_FILE;
    static const char* const ADN_SIZE;
    static const char* const ADN_DATA;
    static const char* const BOOT_LOAD_NAME;
    // The settings file of an image, written out in the working directory.
    static const char* const ADN_PRE_UPDATE;
    // The pack being built, in the pack directory, until it gets its name.
    static const char* const WORK_PACK;
    // The old or the new pair of list names, chosen when a pack is opened.
    static const char* TYPELIST;
    static const char* BINLIST;

    // Switches set from the command line.
    static bool CMDL_CREATE_REVPACK;
    static const char* CMDL_BINDIR;
    static bool CHECK_SPECIAL;
    static bool CHECK_HARDWARE;
    static bool CMDL_UPGRADE;
    static const char* CMDL_REVPACK;
    static const char* CMDL_BINFILE;

    // The restriction list a new pack gets when no restrictions file gives one.
    struct HwSwRestr {
        char sw[HWSW_VER_SIZE];
        char hw[HWSW_VER_SIZE];
    };
    static constexpr int NR_DFLT_RESTR = 7;
    static const HwSwRestr _hwSwRestr[NR_DFLT_RESTR];
    // Start of the application in an image (0x3000 before processor 49).
    static uint16_t START_ADDRESS;

    // A text of hexadecimal digits as a number; every character that is not
    // a digit 1-9 or a letter a-f/A-F counts as 0 in its place. Sums wrap.
    class HexStrToNr {
    public:
        uint32_t toNr(const char* text) const;
        static int getpos(char c);
        static uint32_t pwr16(int n);
    };

    typedef void (*SleepFunc)(uint32_t ms);

    // revpacksDir: the directory of the packs. Clears everything, then lists
    // the packs.
    RevPackDb(RevPackDbOwner* root, const char* revpacksDir);
    virtual ~RevPackDb();

    void root(RevPackDbOwner* owner) { _root = owner; }
    const std::string& revpacksDir() const { return _revpacksDir; }
    void revpacksDir(const char* dir) { _revpacksDir = dir ? dir : ""; }
    // The pause after a missing boot loader (tests make it instant).
    void sleepFunc(SleepFunc f) { _sleep = f; }

    // The pack list.
    void setRpaFiles();
    int nrRpaFiles() const { return _nrRpaFiles; }
    // "" outside the list.
    const char* rpaFile(int ix) const;
    bool exist() const { return _exist; }

    // Whether a file name is a pack's: it ends in ".rpa" or ".RPA".
    static bool isPackFile(const std::string& name);
    // The pack's name as the database takes it: without ".rpa" or ".RPA".
    static std::string packName(const std::string& name);

    // Opens a pack by name (".rpa" or ".RPA" optional), closing the open one.
    void selectDb(const char* rpaFile);
    // Opens a pack and loads its image and boot-loader lists.
    void selectRpFile(const char* rpaFile);
    bool rpSelected() const { return _rpSelected; }
    const char* actRpFile() const { return _actRpFile; }
    int actNrBinFiles() const { return _actNrBinFiles; }
    const char* actBinFile(int ix) const;
    int nrBootFiles() const { return _nrBootFiles; }

    // Loads one image; returns the settings file to program first, or "".
    // An image whose data, or whose settings file's data, is not exactly
    // as many bytes as its size says is refused with an alert.
    const char* setBinData(const char* binFile);
    // "" when the image, its settings file and every boot loader of the
    // open pack hold exactly as many bytes as their sizes say; otherwise
    // the message that names the first damaged one.
    std::string damage(const char* image);
    // Whether the last setBinData left an image to upgrade with: false when
    // the image was refused, or when its settings, to be programmed first,
    // could not be read or written out. The upgrade must not start then.
    bool binFileSelected() const { return _binFileSelected; }
    // The image the last setBinData loaded.
    const char* binFile() const { return _actBinFile; }
    int binSize() const { return _nrBinBytes; }
    const uint8_t* binData() const { return _activeBinData; }
    int adnSize() const { return _nrAdnBytes; }
    const uint8_t* adnData() const { return _activeAdnData; }
    bool autoProgAdnFile() const { return _autoProgAdnFile; }
    void autoProgAdnFile(bool on) { _autoProgAdnFile = on; }

    // Chooses and loads the boot loader for hwVersion (null: the unit's).
    bool setBootData(const char* hwVersion);
    int bootSize() const { return _bootSize; }
    const char* bootData() const { return _bootData; }
    const char* setBtlHwVersion() const { return _setBtlHwVersion; }
    bool checkBtlHwVersion() const;

    // The connected unit's identity (each cut to 15 characters).
    static void setActHwSwVers(const char* type, const char* swVers, const char* special, const char* hwVers);
    static const char* actKorType() { return _actKorType; }
    static const char* actHwVersion() { return _actHwVersion; }
    static const char* actSwVersion() { return _actSwVersion; }
    static const char* actSpecial() { return _actSpecial; }
    static const char* activeAdnFile() { return _actAdnFile; }
    static void activeAdnFileReset() { _actAdnFile[0] = '\0'; }

    // Verifies the checksum that a pack's name carries; rpaFile is a path
    // with create, else a name in the revision-pack directory.
    bool checkCheckSum(const char* rpaFile, bool create);
    // Why the last checkCheckSum could not read its pack (the file and the
    // system's reason); "" when it could.
    const std::string& readError() const { return _readError; }
    // Why the selected pack file was not taken ("" when it was).
    std::string packFault() const;
    // The checksum of a file; 0 when it cannot be read or has no "[.]".
    uint16_t readCheckSum(const char* path);
    // The checksum of a pack's bytes; false when they have no "[.]".
    static bool calcCheckSum(const std::string& bytes, uint16_t& sum);
    // The checksum a pack's file name states between '[' and ']'; false
    // when it states none.
    static bool namedSum(const std::string& fileName, uint32_t* sum);
    // Whether a pack's bytes add up to the checksum its file name states;
    // calc (when not null) gets what they add up to.
    static bool sumHolds(const std::string& fileName, const std::string& bytes, uint16_t* calc = nullptr);

    // Type code (11 characters from "KV") and hardware version (the 4
    // characters before it) found in the loaded image; "" when none.
    const char* getKorTypeFmBin(const char*& hwVersion);
    // Software version (7 characters after "VERSION:" and one separator) and,
    // through special, the 6 characters after it; "" and null when none.
    const char* getSwVersionFmBin(const char*& special);

    void printData() const;

    // Access to the open pack. Using a group that does not exist creates it
    // (in memory; the pack is written only when something was written).
    bool remGrp(const char* name);
    bool setGrp(const char* name);
    bool grpExist(const char* name) const;
    int nrEntries(const char* group);
    bool entryExist(const char* group, const char* key) const;
    bool setEntry(const char* group, const char* key, const char* text);
    bool setEntry(const char* group, const char* key, int value);
    bool setEntry(const char* group, const char* key, const void* data, int size);
    // Name of the ix-th entry; "" outside the group.
    const char* getEntry(const char* group, int ix);
    // At most MAX_TXT_LEN - 1 characters into text (MAX_TXT_LEN bytes);
    // "none" when missing.
    bool getEntry(const char* group, const char* key, char* text);
    // 0 when missing.
    bool getEntry(const char* group, const char* key, int& value);
    // Zero-fills size bytes of data, then reads at most size bytes.
    bool getEntry(const char* group, const char* key, void* data, int size);
    bool delEntry(const char* group, const char* key);
    // The pack's user-data directory (not created).
    std::string dbPath() const;
    bool flush();
    void clearDb();

    // Which images suit the connected unit (RevPackDbRules.cpp). The
    // restriction list holds software/hardware rows ("4.**;B.**") and type
    // rows ("KV...;KV...", optionally followed by special-build codes).
    // May an image of this type go onto the unit (type rules only); sets
    // autoProgAdnFile when unit and image differ in network type.
    bool binFileAllowed(const char* binFile);
    // The full check before an upgrade; a refusal is alerted.
    bool checkTypeSwHwVers(const char* binFile);
    // The special-build codes of the type rows, unit side and image side;
    // true when there is at least one.
    bool allowedFromToSpecials(std::vector<std::string>& from, std::vector<std::string>& to);
    // The hardware versions the rows allow for the image, each after a
    // blank (" B.** D.** C.**").
    std::string allowedHwList(const char* binFile);
    void fillAllowedHwList(const char* binFile, Fl_Output* out);

    // Pack creation (RevPackDbCreate.cpp). Builds a pack from the *.bin
    // files of binDir (null: the working directory) in the pack directory.
    // False, with an alert and createFailure() saying why, when no pack was
    // made; a failed run leaves no pack and no work file behind.
    bool createDb(const char* binDir);
    // Why the last createDb failed, the reason in one line; none after success.
    const RunFailure& createFailure() const { return _createFailure; }
    // The file name of the pack the last createDb made; "" after a failure.
    const std::string& createdPack() const { return _createdPack; }
    // Fills the open pack's restriction list from the restrictions file or,
    // when that has none, from the default table. False on a file the
    // preferences reader must not see.
    bool setSwHwRestrictions();
    // The base name of the open pack from its versions and specials (one
    // buffer, overwritten by the next call).
    const char* retrNewRevPackName();
    // "49" for a boot loader named for processor 49 and above, else "00".
    static const char* getHwFmBootName(const char* fileName);

private:
    RevPackDb(const RevPackDb&) = delete;
    RevPackDb& operator=(const RevPackDb&) = delete;

    void setTypeBinList();
    // Removes what a killed pack creation left in the pack directory.
    void removeWorkLeftovers();
    // A handle on a group of the open pack, created when missing; null when
    // no pack is open or the name cannot be a group.
    std::unique_ptr<Fl_Preferences> group(const char* name) const;
    bool writable(const char* group, const char* key) const;
    void statusInfo(const std::string& text, bool isError);
    bool trace(uint16_t bit) const;
    bool writeAdnFile();
    // len bytes of the loaded image from from on, up to its end or its
    // first byte that is not printable ASCII, terminated.
    void imageText(char* dst, int from, int len) const;
    // Whether dataKey of the group holds exactly the bytes sizeKey counts,
    // as hex digits (the preferences class would read anything else as
    // other bytes, or as zeros); a fault is traced.
    bool blockIntact(const char* group, const char* sizeKey, const char* dataKey);

    RevPackDbOwner* _root;
    RPFile* _db;
    Fl_Preferences* _gen;
    Fl_Preferences* _typeList;
    Fl_Preferences* _binList;
    Fl_Preferences* _hwSwList;
    bool _exist;
    int _nrRpaFiles;
    char _rpaFiles[MAX_NR_FILES][MAX_NAME];
    bool _rpSelected;
    char _actRpFile[MAX_NAME];
    uint8_t _actNrBinFiles;
    char _actBinFiles[MAX_NR_FILES][MAX_NAME];
    bool _binFileSelected;
    char _actBinFile[MAX_NAME];
    uint8_t _actNrAdnFiles;
    char _actAdnFiles[MAX_NR_FILES][MAX_NAME];
    bool _adnFileSelected;
    bool _autoProgAdnFile;
    uint8_t _nrBootFiles;
    int _bootIx;
    char _bootFiles[MAX_BOOTFILES][MAX_NAME];
    int _bootSize;
    char _bootData[MAX_BOOT_SIZE];
    char _setBtlHwVersion[HWSW_VER_SIZE];
    // Pack creation.
    bool _createRpActive;
    bool _leftoversRemoved;
    char _binDirPath[MAX_NAME];
    uint8_t _nrBinFiles;
    char _binFiles[MAX_NR_FILES][MAX_NAME];
    uint8_t _nrAdnFiles;
    char _adnFiles[MAX_NR_FILES][MAX_NAME];
    int _nrBinBytes;
    uint8_t _activeBinData[MAX_BINFILE_SIZE];
    int _nrAdnBytes;
    uint8_t _activeAdnData[MAX_BINFILE_SIZE];
    int _nrUnixAdnBytes;
    uint8_t _unixAdnData[MAX_BINFILE_SIZE];
    std::string _revpacksDir;
    SleepFunc _sleep;
    // Results of the image inspection.
    char _korTypeFmBin[12];
    char _hwVersFmBin[5];
    char _swVersFmBin[8];
    char _specialFmBin[7];

    static char _actKorType[HWSW_VER_SIZE];
    static char _actSwVersion[HWSW_VER_SIZE];
    static char _actSpecial[HWSW_VER_SIZE];
    static char _actHwVersion[HWSW_VER_SIZE];
    static char _actAdnFile[MAX_NAME];

    // Pack creation.
    bool collectBinFiles(const char* binDir);
    bool writeWorkPack(std::string& baseName);
    bool addImage(int ix);
    bool publishWorkPack(const std::string& work, const std::string& baseName);
    bool createFailed(RunFailure::Kind kind, const std::string& text);
    // Writes the restriction table the new pack got beside the
    // restrictions file, whole or not at all.
    bool keepRestrictions();
    RunFailure _createFailure;
    // Application images left out of the pack being made, each with why.
    std::vector<std::string> _skipped;
    // The kept restriction table, as its file.
    std::string _restrCopy;
    std::string _readError;
    std::string _createdPack;
};

#endif
