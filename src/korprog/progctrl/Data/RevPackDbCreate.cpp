// Building a revision pack from a directory of firmware images. The pack is
// built as the work pack "temp" and gets its final name, from the versions
// and specials it holds and its checksum, only when it is complete; a run
// that fails leaves neither behind.

#include <FL/Fl_Preferences.H>
#include <FL/filename.H>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "bdebug/BAssert.h"
#include "bdebug/BTrace.h"
#include "korprog/AtomicFile.h"
#include "korprog/Dialog.h"
#include "korprog/StringUtils.h"
#include "korprog/WholeFile.h"
#include "korprog/progctrl/Data/RPFile.h"
#include "korprog/progctrl/Data/RPFileCheck.h"
#include "korprog/progctrl/Data/RPText.h"
#include "korprog/progctrl/Data/Translated.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Data/RevPackDbOwner.h"

namespace fs = std::filesystem;

namespace {

const char* const RESTR_EXT = "txt";
const char* const RESTR_COPY_EXT = "rst";
const char* const NO_SPECIAL = "     ";
// The pack's file name is the base name, "[xxxx]" and ".rpa"; a pack is
// opened by names of at most RPFile::MAX_NAME characters.
const size_t MAX_PACK_BASE = RPFile::MAX_NAME - 10;
const int HEADER_LINES = 3;
const uint16_t CREATE_TRACE = BTrace::HIGH | BTrace::MED | BTrace::LOW;
// A pack is not made because of the images, settings files and restrictions
// given (BadInput), or because its file cannot be written (Other).
using Kind = RunFailure::Kind;

void dbg(const std::string& text) { BTrace::instance()->dbgPrint(text); }

// count bytes from offset on; false when the file does not hold them.
bool readBytes(const std::string& path, uintmax_t offset, uintmax_t count, uint8_t* dst)
{
    const int fd = WholeFile::open(path, WholeFile::ANY_SIZE, nullptr);
    if (fd < 0) return false;
    uintmax_t got = 0;
    while (got < count) {
        const ssize_t n = ::pread(fd, dst + got, static_cast<size_t>(count - got), static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<uintmax_t>(n);
    }
    ::close(fd);
    return got == count;
}

// The size of an image or settings file of the directory; a FIFO or device
// named like one is no file to read (ec set).
uintmax_t inputSize(const std::string& path, std::error_code& ec)
{
    int error = 0;
    const int fd = WholeFile::open(path, WholeFile::ANY_SIZE, &error);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        if (fd >= 0) ::close(fd);
        ec = std::error_code(error ? error : EIO, std::generic_category());
        return 0;
    }
    ::close(fd);
    ec.clear();
    return static_cast<uintmax_t>(st.st_size);
}

std::string withExt(const std::string& name, const char* ext)
{
    const size_t dot = name.rfind('.');
    return (dot == std::string::npos ? name : name.substr(0, dot)) + ext;
}

bool isFile(const std::string& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

// Versions and specials come from the images' bytes; characters a file
// name cannot hold, and the brackets of the checksum, become '_'.
std::string fileNameSafe(std::string s)
{
    for (char& c : s) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127 || std::strchr("/\\[]:*?\"<>|", c)) c = '_';
    }
    return s;
}

void addOnce(std::vector<std::string>& list, const std::string& s)
{
    if (std::find(list.begin(), list.end(), s) == list.end()) list.push_back(s);
}

}  // namespace

bool RevPackDb::createFailed(RunFailure::Kind kind, const std::string& text)
{
    if (!_createFailure.failed()) _createFailure = RunFailure{kind, text};
    B_ERROR(text);
    return false;
}

bool RevPackDb::createDb(const char* binDir)
{
    if (trace(CREATE_TRACE)) dbg(std::string("RevPackDb::createDb bindir=\"") + (binDir ? binDir : "") + "\"");
    _createFailure = RunFailure();
    _createdPack.clear();
    _createRpActive = true;
    // The pack open before is opened again afterwards.
    const std::string reopen = _rpSelected ? _actRpFile : "";

    std::error_code ec;
    fs::create_directory(APPLICATION, ec);  // home of the restrictions file
    if (!_revpacksDir.empty()) fs::create_directories(_revpacksDir, ec);
    const std::string work = (fs::path(_revpacksDir) / (std::string(WORK_PACK) + RPFile::EXTENSION)).string();
    fs::remove(work, ec);

    std::string baseName;
    _restrCopy.clear();
    const bool ok = collectBinFiles(binDir) && writeWorkPack(baseName) && publishWorkPack(work, baseName);
    // A run that made no pack leaves the kept table as it was.
    if (ok) keepRestrictions();
    if (!ok) {
        clearDb();
        fs::remove(work, ec);
        Dialog::alert("%s", _createFailure.reason.c_str());
    }
    _createRpActive = false;
    if (!reopen.empty()) selectDb(reopen.c_str());
    setRpaFiles();
    return ok;
}

bool RevPackDb::collectBinFiles(const char* binDir)
{
    _nrBinFiles = 0;
    _nrAdnFiles = 0;
    _skipped.clear();
    std::error_code ec;
    std::string dir = fs::absolute(binDir && *binDir ? binDir : ".", ec).lexically_normal().string();
    if (dir.empty() || (dir.back() != '/' && dir.back() != '\\')) dir += '/';
    if (ec || dir.size() >= sizeof _binDirPath)
        return createFailed(Kind::BadInput, Translated::message("_binDirPath=%s does NOT Exist!", dir.c_str()));
    StringUtils::copyTo(_binDirPath, dir.c_str());
    if (!fs::is_directory(_binDirPath, ec))
        return createFailed(Kind::BadInput, Translated::message("_binDirPath=%s does NOT Exist!", _binDirPath));

    dirent** list = nullptr;
    const int n = fl_filename_list(_binDirPath, &list, fl_numericsort);
    int nrBoot = 0;
    for (int k = 0; k < n; ++k) {
        std::string name = list[k]->d_name;
        if (!name.empty() && (name.back() == '/' || name.back() == '\\')) continue;  // a directory
        const char* ext = fl_filename_ext(name.c_str());
        if (std::strcmp(ext, ".BIN") != 0 && std::strcmp(ext, ".bin") != 0) continue;
        if (fs::is_directory(_binDirPath + name, ec)) continue;
        if (_nrBinFiles == MAX_NR_FILES) {
            B_ERROR("more than " << MAX_NR_FILES << " images in " << _binDirPath << "; left out: " << name);
            continue;
        }
        _exist = true;
        if (name.find(BOOT_LOAD_NAME) != std::string::npos && ++nrBoot > MAX_BOOTFILES) {
            B_ERROR("more than " << MAX_BOOTFILES << " boot loaders in " << _binDirPath << "; left out: " << name);
            continue;
        }
        const int ix = _nrBinFiles++;
        StringUtils::copyTo(_binFiles[ix], name.c_str());
        // The settings file of the same name; a name differing only in
        // case is found through the lower-case form.
        std::string adn = withExt(name, ".adn");
        if (!isFile(_binDirPath + adn)) adn = withExt(StringUtils::convertCase(name, false), ".adn");
        const bool adnExist = isFile(_binDirPath + adn);
        StringUtils::copyTo(_adnFiles[ix], adnExist ? adn.c_str() : "");
        if (adnExist) ++_nrAdnFiles;
        if (trace(CREATE_TRACE))
            dbg(" name=" + name + " adnExist=" + (adnExist ? adn : "0") + " fileNr=" + std::to_string(ix));
    }
    if (n > 0) fl_filename_free_list(&list, n);
    if (_nrBinFiles == 0) return createFailed(Kind::BadInput, Translated::message("No *.bin files in %s", _binDirPath));
    return true;
}

bool RevPackDb::writeWorkPack(std::string& baseName)
{
    selectDb(WORK_PACK);
    if (!_db->isOpen()) return createFailed(Kind::Other, Translated::message("Cannot write %s", WORK_PACK));
    if (!setSwHwRestrictions()) return false;
    TYPELIST = TYPELIST_NEW;
    BINLIST = BINLIST_NEW;
    delete _typeList;
    delete _binList;
    _typeList = group(TYPELIST).release();
    _binList = group(BINLIST).release();
    setEntry(GENERAL, DB_VERSION, DB_VERSION_NR);
    int nrApplications = 0;
    for (int i = 0; i < _nrBinFiles; ++i) {
        if (!addImage(i)) return false;
        nrApplications += !std::strstr(_binFiles[i], BOOT_LOAD_NAME);
    }
    nrApplications -= static_cast<int>(_skipped.size());
    if (nrApplications == 0) {
        // Boot loaders alone upgrade nothing.
        std::string why = Translated::message("No usable image in %s", _binDirPath);
        for (size_t i = 0; i < _skipped.size(); ++i) why += (i ? "; " : ": ") + _skipped[i];
        if (_skipped.empty()) why += ": " + Translated::message("only boot loaders");
        return createFailed(Kind::BadInput, why);
    }
    if (!flush()) {
        const int error = _db->writeError();
        return createFailed(Kind::Other, Translated::message("Cannot write %s", _db->path().c_str()) +
                                             (error ? std::string(": ") + std::strerror(error) : std::string()));
    }
    baseName = retrNewRevPackName();
    clearDb();
    return true;
}

bool RevPackDb::addImage(int ix)
{
    const char* file = _binFiles[ix];
    const bool boot = std::strstr(file, BOOT_LOAD_NAME) != nullptr;
    // Application images are stored under the custom name of their type.
    const std::string name = boot ? file : (_root ? _root->replaceOmbrixByCustomType(file) : file);
    if (name.empty()) {
        if (trace(CREATE_TRACE)) dbg(std::string(" left out, type not in config.ini: ") + file);
        _skipped.push_back(Translated::message("%s skipped, type not in %s", file, "config.ini"));
        return true;
    }
    const char* g = name.c_str();
    if (!RPFileCheck::groupNameOk(g) || !RPFileCheck::entryNameOk(g))
        return createFailed(Kind::BadInput, Translated::message("Cannot store %s in a revision pack", g));
    if (grpExist(g)) return createFailed(Kind::BadInput, Translated::message("Two images named %s", g));

    const std::string path = std::string(_binDirPath) + file;
    std::error_code ec;
    const uintmax_t size = inputSize(path, ec);
    if (ec) return createFailed(Kind::BadInput, Translated::message("Cannot read %s", path.c_str()));
    // The head of the file gives type and hardware, and so where the
    // application starts.
    std::memset(_activeBinData, 0, sizeof _activeBinData);
    const uintmax_t head = std::min<uintmax_t>(size, MAX_BINFILE_SIZE - 1);
    if (!readBytes(path, 0, head, _activeBinData))
        return createFailed(Kind::BadInput, Translated::message("Cannot read %s", path.c_str()));
    _nrBinBytes = static_cast<int>(head);
    const char* hwFound = nullptr;
    const std::string type = getKorTypeFmBin(hwFound);
    const std::string hardware = hwFound ? hwFound : "";

    uintmax_t stored = BOOT_END_ADDR;  // a boot loader keeps its first part
    if (!boot) {
        const int processor = hardware.size() > 2 ? RPText::leadingNumber(hardware.c_str() + 2, 2) : 0;
        START_ADDRESS = processor <= 48 ? START_ADDRESS_48 : START_ADDRESS_49;
        if (size < START_ADDRESS)
            return createFailed(Kind::BadInput,
                                Translated::message("Error Binfile smaller than its start address: %s", path.c_str()));
        stored = size - START_ADDRESS;
        if (stored > MAX_BINFILE_SIZE - 1)
            return createFailed(Kind::BadInput, Translated::message("Error Binfile too big: %s", path.c_str()));
        std::memset(_activeBinData, 0, sizeof _activeBinData);
        if (!readBytes(path, START_ADDRESS, stored, _activeBinData))
            return createFailed(Kind::BadInput, Translated::message("Cannot read %s", path.c_str()));
    }
    _nrBinBytes = static_cast<int>(stored);

    const char* adnFile = _adnFiles[ix];
    _nrAdnBytes = 0;
    if (*adnFile) {
        const std::string adnPath = std::string(_binDirPath) + adnFile;
        const uintmax_t adnSize = inputSize(adnPath, ec);
        if (ec) return createFailed(Kind::BadInput, Translated::message("Cannot read %s", adnPath.c_str()));
        if (adnSize > MAX_BINFILE_SIZE - 1)
            return createFailed(Kind::BadInput, Translated::message("Error Adnfile too big: %s", adnPath.c_str()));
        if (!readBytes(adnPath, 0, adnSize, _activeAdnData))
            return createFailed(Kind::BadInput, Translated::message("Cannot read %s", adnPath.c_str()));
        _nrAdnBytes = static_cast<int>(adnSize);
    }

    if (!type.empty() && RPFileCheck::entryNameOk(type.c_str())) setEntry(TYPELIST_NEW, type.c_str(), type.c_str());
    const char* special = nullptr;
    const std::string version = getSwVersionFmBin(special);

    setEntry(BINLIST_NEW, g, g);
    setEntry(g, BIN_SIZE, _nrBinBytes);
    if (boot) {
        setEntry(g, BIN_HWVERS, getHwFmBootName(file));
    } else {
        setEntry(g, BIN_TYPE, type.c_str());
        setEntry(g, BIN_VERSION, version.c_str());
        setEntry(g, BIN_HWVERS, hardware.c_str());
        if (special) setEntry(g, BIN_SPECIAL, special);
    }
    setEntry(g, BIN_DATA, _activeBinData, _nrBinBytes);
    if (*adnFile) {
        setEntry(g, ADN_FILE, adnFile);
        setEntry(g, ADN_SIZE, _nrAdnBytes);
        setEntry(g, ADN_DATA, _activeAdnData, _nrAdnBytes);
    }
    return true;
}

bool RevPackDb::publishWorkPack(const std::string& work, const std::string& baseName)
{
    std::string bytes;
    uint16_t sum = 0;
    if (!RPFile::readFile(work, bytes) || !calcCheckSum(bytes, sum))
        return createFailed(Kind::Other, Translated::message("Cannot read %s", work.c_str()));
    char file[MAX_NAME];
    std::snprintf(file, sizeof file, "%s[%04x]%s", baseName.c_str(), unsigned(sum), RPFile::EXTENSION);
    const std::string path = (fs::path(_revpacksDir) / file).string();
    std::error_code ec;
    fs::rename(work, path, ec);
    if (ec) return createFailed(Kind::Other, Translated::message("Cannot write %s", path.c_str()));
    if (!checkCheckSum(path.c_str(), true)) {
        fs::remove(path, ec);
        return createFailed(Kind::Other, Translated::message("Create Db Invalid Checksum"));
    }
    _createdPack = file;
    if (trace(CREATE_TRACE)) dbg("RevPackDb::createDb created " + path);
    return true;
}

bool RevPackDb::setSwHwRestrictions()
{
    char src[MAX_NAME];
    std::snprintf(src, sizeof src, "%s/%s.%s", APPLICATION, SWHWRESTR, RESTR_EXT);
    // The user's file without its comment lines (the preferences format
    // takes no comments after its three header lines).
    std::string text;
    if (isFile(src)) {
        std::string raw, why;
        if (!RPFile::readFile(src, raw, &why, RPFileCheck::MAX_FILE))
            return createFailed(Kind::BadInput, Translated::message("Cannot read %s: %s", src, why.c_str()));
        size_t pos = 0;
        for (int nr = 1; pos < raw.size(); ++nr) {
            size_t eol = raw.find('\n', pos);
            if (eol == std::string::npos) eol = raw.size();
            std::string line = raw.substr(pos, eol - pos);
            pos = eol + 1;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (nr > HEADER_LINES && !line.empty() && line[0] == ';') continue;
            text += line + '\n';
        }
    }
    RPFile restr;
    std::string why;
    if (!restr.openBytes(text, SWHWRESTR, &why))
        return createFailed(Kind::BadInput, Translated::message("Error in restrictions file %s: %s", src, why.c_str()));
    bool ok = true;
    {
        Fl_Preferences rows(*restr.root(), SWHWRESTR);
        if (rows.entries() == 0) {
            for (int k = 0; k < NR_DFLT_RESTR; ++k) {
                const std::string row = std::string(_hwSwRestr[k].sw) + ";" + _hwSwRestr[k].hw;
                rows.set(std::to_string(k + 1).c_str(), row.c_str());
            }
        }
        for (int i = 0; i < rows.entries() && ok; ++i) {
            const char* key = rows.entry(i);
            char* value = nullptr;
            rows.get(key, value, "");
            ok = setEntry(HWSWLIST, key, value);
            if (!ok) createFailed(Kind::BadInput, Translated::message("Error in restrictions file %s: %s", src, key));
            std::free(value);
        }
    }
    // The table the pack got, kept beside the restrictions file once the
    // pack is made.
    if (ok) _restrCopy = restr.text();
    return ok;
}

bool RevPackDb::keepRestrictions()
{
    char kept[MAX_NAME];
    std::snprintf(kept, sizeof kept, "%s/%s.%s", APPLICATION, SWHWRESTR, RESTR_COPY_EXT);
    AtomicFile out(kept);
    FILE* f = out.open();
    if (f) std::fwrite(_restrCopy.data(), 1, _restrCopy.size(), f);
    if (out.commit()) return true;
    B_ERROR("cannot write " << kept << "; the previous one is kept");
    return false;
}

const char* RevPackDb::retrNewRevPackName()
{
    static char name[MAX_PACK_BASE + 1];
    std::vector<std::string> versions, specials;
    const int n = nrEntries(BINLIST_NEW);
    for (int i = 0; i < n; ++i) {
        const std::string image = getEntry(BINLIST_NEW, i);
        if (image.find(BOOT_LOAD_NAME) != std::string::npos) continue;
        char text[MAX_TXT_LEN];
        if (entryExist(image.c_str(), BIN_VERSION) && getEntry(image.c_str(), BIN_VERSION, text)) addOnce(versions, text);
        if (entryExist(image.c_str(), BIN_SPECIAL) && getEntry(image.c_str(), BIN_SPECIAL, text) &&
            std::strcmp(text, NO_SPECIAL) != 0 && !StringUtils::stripChar(' ', text).empty())
            addOnce(specials, text);
    }
    std::string s = "KV";
    for (const std::string& v : versions) s += StringUtils::stripChars("KV", v);
    for (const std::string& sp : specials) s += "_" + StringUtils::stripChar(' ', sp);
    s = fileNameSafe(s);
    if (s.size() > MAX_PACK_BASE) B_ERROR("pack name cut to " << MAX_PACK_BASE << " characters: " << s);
    StringUtils::copyTo(name, s.c_str());
    return name;
}

const char* RevPackDb::getHwFmBootName(const char* fileName)
{
    const char* p = fileName ? std::strstr(fileName, BOOT_LOAD_NAME) : nullptr;
    if (!p) return "00";
    std::string tag = p + std::strlen(BOOT_LOAD_NAME);
    if (!tag.empty()) tag.erase(0, 1);  // the separator
    tag = tag.substr(0, tag.find('.'));
    // "B49": a letter, then the processor version.
    const int version = tag.size() > 1 ? RPText::leadingNumber(tag.c_str() + 1, 9) : 0;
    return version > 48 ? "49" : "00";
}
