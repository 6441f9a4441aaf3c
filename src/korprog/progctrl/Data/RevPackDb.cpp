#include "korprog/progctrl/Data/RevPackDb.h"

#include <FL/Fl_Preferences.H>
#include <FL/filename.H>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "bdebug/BAssert.h"
#include "bdebug/BTrace.h"
#include "helm/platform/BTimerTick.h"
#include "korprog/AtomicFile.h"
#include "korprog/Dialog.h"
#include "korprog/StringUtils.h"
#include "korprog/WholeFile.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/RPFile.h"
#include "korprog/progctrl/Data/RPFileCheck.h"
#include "korprog/progctrl/Data/RPText.h"
#include "korprog/progctrl/Data/Translated.h"
#include "korprog/progctrl/Data/RevPackDbOwner.h"
#include "korprog/progctrl/Data/AdnFile.h"

namespace fs = std::filesystem;

const char* const RevPackDb::APPLICATION = "RevPacks";
const char* const RevPackDb::GENERAL = "General";
const char* const RevPackDb::TYPELIST_OLD = "KorvanTypeList";
const char* const RevPackDb::BINLIST_OLD = "BinFileList";
const char* const RevPackDb::TYPELIST_NEW = "KorvanTypeList_2";
const char* const RevPackDb::BINLIST_NEW = "BinFileList_2";
const char* const RevPackDb::HWSWLIST = "HwSwRestrictionList";
const char* const RevPackDb::SWHWRESTR = "SwHwRestrictions";
const char* const RevPackDb::DB_VERSION = "version";
const char* const RevPackDb::BIN_SIZE = "size";
const char* const RevPackDb::BIN_TYPE = "type";
const char* const RevPackDb::BIN_VERSION = "version";
const char* const RevPackDb::BIN_HWVERS = "hardware";
const char* const RevPackDb::BIN_SPECIAL = "special";
const char* const RevPackDb::BIN_DATA = "data";
const char* const RevPackDb::ADN_FILE = "adnfile";
const char* const RevPackDb::ADN_SIZE = "adnsize";
const char* const RevPackDb::ADN_DATA = "adndata";
const char* const RevPackDb::BOOT_LOAD_NAME = "BOOT_LOAD";
const char* const RevPackDb::ADN_PRE_UPDATE = "adn_pre_update.adn";
const char* const RevPackDb::WORK_PACK = "temp";
const char* RevPackDb::TYPELIST = RevPackDb::TYPELIST_OLD;
const char* RevPackDb::BINLIST = RevPackDb::BINLIST_OLD;

// CMDL_CREATE_REVPACK, CMDL_BINDIR and CMDL_UPGRADE say who answers: they
// are defined beside that question (korprog/RunMode.cpp).
bool RevPackDb::CHECK_SPECIAL = true;
bool RevPackDb::CHECK_HARDWARE = true;
const char* RevPackDb::CMDL_REVPACK = "";
const char* RevPackDb::CMDL_BINFILE = "";

const RevPackDb::HwSwRestr RevPackDb::_hwSwRestr[NR_DFLT_RESTR] = {
    {"4.**", "B.**"}, {"4.**", "D.**"}, {"4.**", "C.**"}, {"5.**", "F.**"},
    {"5.**", "G.**"}, {"6.**", "H.**"}, {"KV---------", "KV---------"},
};
uint16_t RevPackDb::START_ADDRESS = START_ADDRESS_48;

char RevPackDb::_actKorType[HWSW_VER_SIZE] = "";
char RevPackDb::_actSwVersion[HWSW_VER_SIZE] = "";
char RevPackDb::_actSpecial[HWSW_VER_SIZE] = "";
char RevPackDb::_actHwVersion[HWSW_VER_SIZE] = "";
char RevPackDb::_actAdnFile[MAX_NAME] = "";

namespace {

const char CR = '\r';

// The unit's processor version: the two digits after letter and '.'.
int processorVersion(const char* hwVersion)
{
    return std::strlen(hwVersion) > 2 ? RPText::leadingNumber(hwVersion + 2, 2) : 0;
}

bool endsWith(const std::string& s, const char* tail)
{
    const size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

}  // namespace

// --- HexStrToNr ---

int RevPackDb::HexStrToNr::getpos(char c)
{
    if (c >= '1' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 0;
}

uint32_t RevPackDb::HexStrToNr::pwr16(int n)
{
    uint32_t p = 1;
    for (int i = 0; i < n; ++i) p *= 16;
    return p;
}

uint32_t RevPackDb::HexStrToNr::toNr(const char* text) const
{
    if (!text) return 0;
    const int n = static_cast<int>(std::strlen(text));
    uint32_t sum = 0;
    for (int i = 0; i < n; ++i) sum += static_cast<uint32_t>(getpos(text[i])) * pwr16(n - 1 - i);
    return sum;
}

// --- construction ---

RevPackDb::RevPackDb(RevPackDbOwner* root, const char* revpacksDir)
    : _root(root),
      _db(new RPFile),
      _gen(nullptr),
      _typeList(nullptr),
      _binList(nullptr),
      _hwSwList(nullptr),
      _exist(false),
      _nrRpaFiles(0),
      _rpSelected(false),
      _actNrBinFiles(0),
      _binFileSelected(false),
      _actNrAdnFiles(0),
      _adnFileSelected(false),
      _autoProgAdnFile(false),
      _nrBootFiles(0),
      _bootIx(0),
      _bootSize(0),
      _createRpActive(false),
      _leftoversRemoved(false),
      _nrBinFiles(0),
      _nrAdnFiles(0),
      _nrBinBytes(0),
      _nrAdnBytes(0),
      _nrUnixAdnBytes(0),
      _revpacksDir(revpacksDir ? revpacksDir : ""),
      _sleep(bSleepMs)
{
    std::memset(_rpaFiles, 0, sizeof _rpaFiles);
    std::memset(_actRpFile, 0, sizeof _actRpFile);
    std::memset(_actBinFiles, 0, sizeof _actBinFiles);
    std::memset(_actBinFile, 0, sizeof _actBinFile);
    std::memset(_actAdnFiles, 0, sizeof _actAdnFiles);
    std::memset(_bootFiles, 0, sizeof _bootFiles);
    std::memset(_bootData, 0xFF, sizeof _bootData);
    std::memset(_setBtlHwVersion, 0, sizeof _setBtlHwVersion);
    std::memset(_binDirPath, 0, sizeof _binDirPath);
    std::memset(_binFiles, 0, sizeof _binFiles);
    std::memset(_adnFiles, 0, sizeof _adnFiles);
    std::memset(_activeBinData, 0xFF, sizeof _activeBinData);
    std::memset(_activeAdnData, 0xFF, sizeof _activeAdnData);
    std::memset(_unixAdnData, 0xFF, sizeof _unixAdnData);
    std::memset(_korTypeFmBin, 0, sizeof _korTypeFmBin);
    std::memset(_hwVersFmBin, 0, sizeof _hwVersFmBin);
    std::memset(_swVersFmBin, 0, sizeof _swVersFmBin);
    std::memset(_specialFmBin, 0, sizeof _specialFmBin);
    setRpaFiles();
}

RevPackDb::~RevPackDb()
{
    clearDb();
    delete _db;
}

bool RevPackDb::trace(uint16_t bit) const { return _root && (_root->traceLevel() & bit); }

void RevPackDb::statusInfo(const std::string& text, bool isError)
{
    if (_root) _root->frmStatusInfo(text.c_str(), isError);
}

// --- the pack list ---

void RevPackDb::removeWorkLeftovers()
{
    // The work pack of a creation killed before its rename, and the files
    // of its writing (the work pack's name, '.' and a suffix); and a pack's
    // copy killed before its rename (any pack's name and a six-character
    // suffix).
    const std::string work = std::string(WORK_PACK) + RPFile::EXTENSION;
    auto copyOfAPack = [](const std::string& name) {
        const size_t dot = name.size() >= 7 ? name.size() - 7 : std::string::npos;
        if (dot == std::string::npos || name[dot] != '.') return false;
        return isPackFile(name.substr(0, dot));
    };
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(_revpacksDir, ec)) {
        const std::string name = e.path().filename().string();
        if (name != work && name.compare(0, work.size() + 1, work + ".") != 0 && !copyOfAPack(name)) continue;
        std::error_code rec;
        if (fs::is_directory(e.symlink_status(rec))) continue;
        fs::remove(e.path(), rec);
        B_ERROR("removed " << e.path().string() << ", left by a pack creation that did not end");
    }
}

void RevPackDb::setRpaFiles()
{
    _nrRpaFiles = 0;
    _exist = false;
    std::error_code ec;
    if (_revpacksDir.empty() || !fs::is_directory(_revpacksDir, ec)) return;
    if (!_leftoversRemoved) {
        _leftoversRemoved = true;
        removeWorkLeftovers();
    }

    dirent** list = nullptr;
    const int n = fl_filename_list(_revpacksDir.c_str(), &list, fl_numericsort);
    for (int k = 0; k < n && _nrRpaFiles < MAX_NR_FILES; ++k) {
        std::string name = list[k]->d_name;
        // The listing marks directories with a trailing separator.
        bool isDir = false;
        if (!name.empty() && (name.back() == '/' || name.back() == '\\')) {
            name.pop_back();
            isDir = true;
        }
        if (name == "." || name == "..") continue;
        if (!isPackFile(name)) continue;
        if (name == std::string(WORK_PACK) + RPFile::EXTENSION) continue;  // a pack being made
        _exist = true;
        const fs::path path = fs::path(_revpacksDir) / name;
        // A directory opens for reading here, but it is no pack.
        if (isDir || fs::is_directory(path, ec)) continue;
        // Not opened to wait: a FIFO named like a pack is no pack.
        if (!WholeFile::usable(path.string(), WholeFile::ANY_SIZE, nullptr)) continue;
        if (name.size() == 4) {  // nothing but the extension: a failed save
            fs::remove(path, ec);
            continue;
        }
        StringUtils::copyTo(_rpaFiles[_nrRpaFiles++], name.c_str());
    }
    if (n > 0) fl_filename_free_list(&list, n);
}

const char* RevPackDb::rpaFile(int ix) const { return ix >= 0 && ix < _nrRpaFiles ? _rpaFiles[ix] : ""; }

const char* RevPackDb::actBinFile(int ix) const { return ix >= 0 && ix < _actNrBinFiles ? _actBinFiles[ix] : ""; }

// --- opening a pack ---

void RevPackDb::setTypeBinList()
{
    Fl_Preferences gen(*_db->root(), GENERAL);
    const bool newNames = gen.entryExists(DB_VERSION);
    TYPELIST = newNames ? TYPELIST_NEW : TYPELIST_OLD;
    BINLIST = newNames ? BINLIST_NEW : BINLIST_OLD;
}

bool RevPackDb::isPackFile(const std::string& name)
{
    return endsWith(name, RPFile::EXTENSION) || endsWith(name, ".RPA");
}

std::string RevPackDb::packName(const std::string& name)
{
    return isPackFile(name) ? name.substr(0, name.size() - std::strlen(RPFile::EXTENSION)) : name;
}

void RevPackDb::selectDb(const char* rpaFile)
{
    clearDb();
    std::string name = rpaFile ? rpaFile : "";
    // Opened under the name it was listed by: on Linux X.RPA is not X.rpa.
    const char* ext = endsWith(name, ".RPA") ? ".RPA" : RPFile::EXTENSION;
    name = packName(name);
    if (!_db->open(_revpacksDir, name, ext)) return;
    setTypeBinList();
    _gen = group(GENERAL).release();
    _typeList = group(TYPELIST).release();
    _binList = group(BINLIST).release();
    _hwSwList = group(HWSWLIST).release();
}

std::string RevPackDb::packFault() const { return _db ? _db->fault() : std::string(); }

void RevPackDb::selectRpFile(const char* rpaFile)
{
    _rpSelected = true;
    StringUtils::copyTo(_actRpFile, rpaFile);
    selectDb(rpaFile);

    _actNrBinFiles = 0;
    _nrBootFiles = 0;
    const int n = _binList ? _binList->entries() : 0;
    for (int i = 0; i < n && _actNrBinFiles < MAX_NR_FILES; ++i) {
        const char* name = _binList->entry(i);
        if (!name) continue;
        StringUtils::copyTo(_actBinFiles[_actNrBinFiles++], name);
        if (!std::strstr(name, BOOT_LOAD_NAME)) continue;
        if (_nrBootFiles < MAX_BOOTFILES)
            StringUtils::copyTo(_bootFiles[_nrBootFiles++], name);
        else
            B_ERROR("more than " << MAX_BOOTFILES << " boot loaders in " << _actRpFile << ", ignored: " << name);
    }
    if (n > MAX_NR_FILES) B_ERROR(_actRpFile << " lists " << n << " images; only " << MAX_NR_FILES << " are used");

    setBootData(nullptr);
    if (_root) _root->lastRevpackFile(rpaFile ? rpaFile : "");
}

// --- loading an image ---

const char* RevPackDb::setBinData(const char* binFile)
{
    const char* name = binFile ? binFile : "";
    int size = 0;
    getEntry(name, BIN_SIZE, size);
    std::memset(_activeBinData, 0xFF, sizeof _activeBinData);
    _nrBinBytes = 0;
    bool refused = false;
    if (size > MAX_BINFILE_SIZE) {
        B_ERROR("image " << name << " claims " << size << " bytes; refused");
        Dialog::alert("%s", Translated::message("%s too big", name).c_str());
        refused = true;
    } else if (size < 0) {
        B_ERROR("image " << name << " has a negative size; refused");
        refused = true;
    } else if (!blockIntact(name, BIN_SIZE, BIN_DATA)) {
        // Sent as it would be read, the unit would get other bytes than
        // the image's, or zeros in place of the missing ones.
        Dialog::alert("%s", Translated::message("Invalid Revpack: image %s is damaged", name).c_str());
        refused = true;
    } else {
        _nrBinBytes = size;
        getEntry(name, BIN_DATA, _activeBinData, size);
    }
    StringUtils::copyTo(_actBinFile, name);
    _binFileSelected = !refused;
    _bootIx = 0;

    _actAdnFile[0] = '\0';
    _nrAdnBytes = 0;
    if (!refused && entryExist(name, ADN_FILE)) {
        int adnSize = 0;
        getEntry(name, ADN_SIZE, adnSize);
        bool written = false;
        if (adnSize < 0 || adnSize > MAX_BINFILE_SIZE) {
            char adnFile[MAX_TXT_LEN];
            getEntry(name, ADN_FILE, adnFile);
            B_ERROR("settings file " << adnFile << " of " << name << " claims " << adnSize << " bytes; refused");
            Dialog::alert("%s", Translated::message("%s too big", adnFile).c_str());
        } else if (!blockIntact(name, ADN_SIZE, ADN_DATA)) {
            // A pack whose blocks disagree with their sizes is not used.
            Dialog::alert("%s", Translated::message("Invalid Revpack: image %s is damaged", name).c_str());
            refused = true;
            _nrBinBytes = 0;
        } else {
            std::memset(_activeAdnData, 0xFF, sizeof _activeAdnData);
            _nrAdnBytes = adnSize;
            getEntry(name, ADN_DATA, _activeAdnData, adnSize);
            written = writeAdnFile();
            if (!written && _autoProgAdnFile) AdnFile::saveAlert(ADN_PRE_UPDATE);
        }
        // Upgraded without the settings that belong to it, the unit would
        // run the new image on settings it was not meant for.
        if ((!written && _autoProgAdnFile) || refused) _binFileSelected = false;
    }
    if (_root) _root->lastBinFile(name);
    if (!_autoProgAdnFile) _actAdnFile[0] = '\0';
    return _actAdnFile;
}

bool RevPackDb::writeAdnFile()
{
    // The settings were stored with Windows line ends; a CR doubled on the
    // way is written once.
    _nrUnixAdnBytes = 0;
    for (int i = 0; i < _nrAdnBytes; ++i) {
        if (_activeAdnData[i] == CR && i > 0 && _activeAdnData[i - 1] == CR) continue;
        _unixAdnData[_nrUnixAdnBytes++] = _activeAdnData[i];
    }
    // Whole or not at all, and through a link the user made.
    AtomicFile out(ADN_PRE_UPDATE);
    if (!out.write(_unixAdnData, static_cast<size_t>(_nrUnixAdnBytes))) {
        B_ERROR("cannot write " << ADN_PRE_UPDATE << ": " << std::strerror(out.error()));
        return false;
    }
    StringUtils::copyTo(_actAdnFile, ADN_PRE_UPDATE);
    return true;
}

// --- the boot loader ---

bool RevPackDb::setBootData(const char* hwVersion)
{
    _bootSize = 0;
    _setBtlHwVersion[0] = '\0';
    std::memset(_bootData, 0xFF, sizeof _bootData);
    if (_nrBootFiles == 0) {
        Dialog::beep();
        statusInfo(Translated::message("Error!! No 2nd stage boot loader in Revpack %s.", _actRpFile), true);
        return false;
    }

    int unitVersion = 0;
    const bool hwKnown = hwVersion || _actHwVersion[0];
    if (hwVersion) {
        unitVersion = StringUtils::stringToInt(hwVersion);
        if (unitVersion < 0) unitVersion = 0;
    } else if (_actHwVersion[0]) {
        unitVersion = processorVersion(_actHwVersion);
    }

    int chosen = -1;
    for (int i = 0; i < _nrBootFiles && chosen < 0; ++i) {
        char hardware[MAX_TXT_LEN];
        getEntry(_bootFiles[i], BIN_HWVERS, hardware);
        const bool is49 = StringUtils::stringToInt(hardware) == PROCESSOR_VERSION_49;
        if (trace(BTrace::HIGH))
            BTrace::instance()->dbgPrint(std::string("RevPackDb::setBootData checking file: ") + _bootFiles[i] +
                                         " nr bins: " + std::to_string(_nrBootFiles));
        if (is49 ? unitVersion > 48 : unitVersion <= 48) chosen = i;
    }
    // A unit that has not told its hardware (it waits in its boot loader)
    // gets the pack's loader all the same: its boot record then confirms the
    // choice or names the hardware to choose by.
    if (chosen < 0 && !hwKnown) chosen = 0;
    if (trace(BTrace::HIGH))
        BTrace::instance()->dbgPrint(std::string("RevPackDb::setBootData boot file: ") +
                                     (chosen >= 0 ? _bootFiles[chosen] : "Not set"));

    if (chosen < 0) {
        Dialog::beep();
        statusInfo(Translated::message("Invalid Revpack:%s. No 2nd boot for HW version: %s", _actRpFile, _actHwVersion), true);
        if (_root) _root->refreshWindow();
        if (_sleep) _sleep(2000);
        return false;
    }

    _bootIx = chosen;
    const char* name = _bootFiles[chosen];
    // Nothing to confirm while the hardware is unknown.
    if (hwKnown)
        statusInfo(Translated::message("Correct Revpack:%s. With 2nd boot for HW version: %s", _actRpFile, _actHwVersion),
                   false);
    int size = 0;
    getEntry(name, BIN_SIZE, size);
    if (size < 0) {
        B_ERROR("boot loader " << name << " has a negative size");
        return false;
    }
    if (!blockIntact(name, BIN_SIZE, BIN_DATA)) {
        Dialog::beep();
        statusInfo(Translated::message("Invalid Revpack: image %s is damaged", name), true);
        return false;
    }
    if (size > MAX_BOOT_SIZE - 1) {
        Dialog::alert("%s", Translated::message("%s too big", name).c_str());
        // The first part is kept, so that size and bytes always agree.
        getEntry(name, BIN_DATA, _bootData, MAX_BOOT_SIZE);
        _bootSize = MAX_BOOT_SIZE;
        return false;
    }
    _bootSize = size;
    getEntry(name, BIN_DATA, _bootData, size);
    char hardware[MAX_TXT_LEN];
    getEntry(name, BIN_HWVERS, hardware);
    StringUtils::copyTo(_setBtlHwVersion, hardware);
    if (trace(BTrace::HIGH)) BTrace::instance()->dbgPrint("RevPackDb::setBootData set file.");
    return true;
}

bool RevPackDb::checkBtlHwVersion() const
{
    const int act = processorVersion(_actHwVersion);
    const int btl = StringUtils::stringToInt(_setBtlHwVersion);
    const bool result = (act < PROCESSOR_VERSION_49 && btl < PROCESSOR_VERSION_49) ||
                        (act >= PROCESSOR_VERSION_49 && btl >= PROCESSOR_VERSION_49);
    if (trace(BTrace::HIGH))
        BTrace::instance()->dbgPrintf("RevPackDb::checkBtlHwVersion actHW=%d btlHw=%d result=%d", act, btl, result);
    return result;
}

void RevPackDb::setActHwSwVers(const char* type, const char* swVers, const char* special, const char* hwVers)
{
    StringUtils::copyTo(_actKorType, type);
    StringUtils::copyTo(_actSwVersion, swVers);
    StringUtils::copyTo(_actSpecial, special);
    StringUtils::copyTo(_actHwVersion, hwVers);
}

// --- checksum ---

bool RevPackDb::calcCheckSum(const std::string& bytes, uint16_t& sum)
{
    const size_t start = bytes.find("[.]");
    if (start == std::string::npos) return false;
    uint16_t s = 0;
    for (size_t i = start; i < bytes.size(); ++i) s = static_cast<uint16_t>(s + static_cast<int8_t>(bytes[i]));
    sum = s;
    return true;
}

uint16_t RevPackDb::readCheckSum(const char* path)
{
    std::string bytes;
    if (!path || !RPFile::readFile(path, bytes, nullptr, RPFileCheck::MAX_FILE)) {
        B_ERROR("Error file not found " << (path ? path : ""));
        return 0;
    }
    uint16_t sum = 0;
    if (!calcCheckSum(bytes, sum)) B_ERROR("no root section in " << path);
    return sum;
}

bool RevPackDb::namedSum(const std::string& fileName, uint32_t* sum)
{
    const size_t open = fileName.find('[');
    const size_t close = open == std::string::npos ? std::string::npos : fileName.find(']', open + 1);
    if (close == std::string::npos || close == open + 1) return false;
    *sum = HexStrToNr().toNr(fileName.substr(open + 1, close - open - 1).c_str());
    return true;
}

bool RevPackDb::sumHolds(const std::string& fileName, const std::string& bytes, uint16_t* calc)
{
    uint16_t sum = 0;
    uint32_t stated = 0;
    const bool summed = calcCheckSum(bytes, sum);
    if (calc) *calc = sum;
    return summed && namedSum(fileName, &stated) && stated == sum;
}

bool RevPackDb::checkCheckSum(const char* rpaFile, bool create)
{
    const std::string file = rpaFile ? rpaFile : "";
    const size_t sep = file.find_last_of("/\\");
    const std::string base = sep == std::string::npos ? file : file.substr(sep + 1);
    const std::string path = create ? file : (fs::path(_revpacksDir) / file).string();

    std::string bytes, why;
    uint16_t calc = 0;
    uint32_t stated = 0;
    _readError.clear();
    if (!RPFile::readFile(path, bytes, &why, RPFileCheck::MAX_FILE)) {
        // Not a checksum that failed: say what is wrong with which file.
        B_ERROR("Error file not found " << path << ": " << why);
        _readError = Translated::message("Cannot read %s: %s", path.c_str(), why.c_str());
        Dialog::alert("%s", _readError.c_str());
        return false;
    }
    if (sumHolds(base, bytes, &calc)) return true;
    if (!calcCheckSum(bytes, calc)) B_ERROR("no root section in " << path);
    if (!namedSum(base, &stated)) B_ERROR("no checksum in the name of " << file);
    Dialog::alert("%s", Translated::message("Invalid Checksum (calc=%x) in %s. Upgrade NOT possible", unsigned(calc),
                                file.c_str()).c_str());
    return false;
}

// --- inspecting an image ---

// A text of the image ends at its first byte that is not printable ASCII
// (the padding after a version is 0xFF or 0): such a byte would reach pack
// names, the window and config.ini.
void RevPackDb::imageText(char* dst, int from, int len) const
{
    int k = 0;
    for (; k < len && from + k < _nrBinBytes; ++k) {
        const uint8_t c = _activeBinData[from + k];
        if (c < 32 || c > 126) break;
        dst[k] = static_cast<char>(c);
    }
    dst[k] = '\0';
}

const char* RevPackDb::getKorTypeFmBin(const char*& hwVersion)
{
    _korTypeFmBin[0] = '\0';
    _hwVersFmBin[0] = '\0';
    hwVersion = _hwVersFmBin;
    const uint8_t* d = _activeBinData;
    const int n = _nrBinBytes;
    auto digit = [](uint8_t c) { return c >= '0' && c <= '9'; };
    for (int p = 4; p + 6 <= n; ++p) {
        if (d[p] != 'K' || d[p + 1] != 'V' || d[p - 3] != '.') continue;
        if (!digit(d[p + 2]) || !digit(d[p + 3]) || !digit(d[p + 4]) || !digit(d[p + 5])) continue;
        imageText(_korTypeFmBin, p, 11);
        imageText(_hwVersFmBin, p - 4, 4);
        break;
    }
    return _korTypeFmBin;
}

const char* RevPackDb::getSwVersionFmBin(const char*& special)
{
    static const char MARK[] = "VERSION:";
    const int markLen = 8;
    _swVersFmBin[0] = '\0';
    _specialFmBin[0] = '\0';
    special = nullptr;
    const uint8_t* d = _activeBinData;
    const int n = _nrBinBytes;
    for (int q = 0; q + markLen <= n; ++q) {
        if (std::memcmp(d + q, MARK, markLen) != 0) continue;
        imageText(_swVersFmBin, q + 9, 7);
        imageText(_specialFmBin, q + 16, 6);
        special = _specialFmBin;
        break;
    }
    return _swVersFmBin;
}

void RevPackDb::printData() const
{
    BTrace* t = BTrace::instance();
    t->dbgPrint("\n --- revision packs --- dir: " + _revpacksDir + " exist=" + std::to_string(_exist));
    for (int i = 0; i < _nrRpaFiles; ++i) t->dbgPrintf("rpa %2d: %s", i, _rpaFiles[i]);
    t->dbgPrint(std::string(" --- active --- revpack: ") + _actRpFile + (_rpSelected ? "" : " (none selected)"));
    for (int i = 0; i < _actNrBinFiles; ++i) t->dbgPrintf("bin %2d: %s", i, _actBinFiles[i]);
    for (int i = 0; i < _nrBootFiles; ++i) t->dbgPrintf("boot %d: %s", i, _bootFiles[i]);
    t->dbgPrintf("binfile: %s size=%d adnfile: %s", _actBinFile, _nrBinBytes, _actAdnFile);
    t->dbgPrintf("korvan: type=%s sw=%s special=%s hw=%s", _actKorType, _actSwVersion, _actSpecial, _actHwVersion);
}
