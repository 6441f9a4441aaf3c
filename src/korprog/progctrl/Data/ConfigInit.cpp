#include "korprog/progctrl/Data/ConfigInit.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "bdebug/BAssert.h"
#include "korprog/AtomicFile.h"
#include "korprog/RunFailure.h"
#include "korprog/runlog/RunLog.h"
#include "korprog/Dialog.h"
#include "korprog/RunMode.h"
#include "korprog/StringUtils.h"
#include "korprog/conndrv/Data/PortNames.h"
#include "korprog/conndrv/Data/Serial.h"
#include "korprog/progctrl/Data/ConfigInitOwner.h"
#include "korprog/progctrl/Data/ConfigInitView.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/Translated.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/runlog/RunOptions.h"

const char* const ConfigInit::_txtSettingFileStart = "settingfile=";
const char* const ConfigInit::_txtComStart = "comport=";
const char* const ConfigInit::_txtKorTypeStart = "korvantype=";
const char* const ConfigInit::_txtlastRevpackFile = "lastrevpack=";
const char* const ConfigInit::_txtlastBinFile = "lastbin=";
const char* const ConfigInit::_file = "config.ini";
const char* const ConfigInit::RUN_PORT_VARIABLE = "KORPROG_COMPORT";
std::string ConfigInit::_devicesDir = "/dev";

namespace {

const size_t MAX_KEY = 20;
const size_t MAX_VALUE = 79;

// Hands each line of the file to `use`, without its line end.
template <typename Use>
void eachLine(FILE* in, Use use)
{
    std::string line;
    int c;
    do {
        c = std::fgetc(in);
        if (c == EOF || c == '\n') {
            use(line);
            line.clear();
        } else if (c != '\r') {
            line += static_cast<char>(c);
        }
    } while (c != EOF);
}

// A line's key and value; false for a line that holds none. A port is a
// device path, held whole or not at all; other values are cut.
bool splitLine(const std::string& line, std::string* key, std::string* value)
{
    const std::string::size_type eq = line.find('=');
    if (line.empty() || eq == std::string::npos || eq > MAX_KEY) return false;
    *key = line.substr(0, eq);
    *value = line.substr(eq + 1, *key == "comport" ? std::string::npos : MAX_VALUE);
    return true;
}

bool portNameFits(const std::string& port) { return port.size() <= size_t(ConfigInit::COM_NAME_SIZE - 1); }

}  // namespace

ConfigInit::ConfigInit(SettingBin* settingBin, ConfigInitView* frame, ConfigInitOwner* root)
    : _settingBin(settingBin), _frame(frame), _root(root), _fd(nullptr), _keepFile(false), _verify(true)
{
    std::memset(_comOpen, 0, sizeof _comOpen);
    _comActive[0] = '\0';
    if (_frame) _frame->configInit(this);
    if (_settingBin) _settingBin->korTypeNames(this);
    readFile();
    // The ports are probed only when the options window lists them
    // (comPorts): a probe opens every port, and must not come between the
    // runs of a production line and theirs.
    _filePort = _comActive;
    // A port for this run only, never written back: -port, whatever the
    // preferences name, or a simulated unit's while they name none. The
    // preferences' port is chosen already.
    const PortChoice run = choosePort(RunOptions::PORT, _comActive, [this](const std::string& port) {
        return port == _comActive || comActive(port.c_str());
    });
    if (!run.port.empty() && run.source != _file) _runPort = run.port;
    // A run with its own port shares the user's directory with the runs on
    // the other ports and with the window: what it would write back is what
    // it read, and could undo what one of them saved meanwhile.
    if (*RunOptions::PORT && RunMode::unattended()) _keepFile = true;
}

ConfigInit::~ConfigInit()
{
    writeFile();
    _korTypeList.clear();
    _korTypeList.shrink_to_fit();
    if (_settingBin && _settingBin->korTypeNames() == this) _settingBin->korTypeNames(nullptr);
}

void ConfigInit::readFile()
{
    _fd = std::fopen(_file, "r");
    if (!_fd && errno == ENOENT) {
        const std::string text = std::string(gettext("Attentie!! Bestand", 0)) + " \"" + _file + "\" " +
                                 gettext("niet aanwezig", 0) + ".\n" +
                                 gettext("Voor communicatie met Korvan eerst COM poort", 0) + ",\n" +
                                 gettext("via Opties knop instellen", 0) + ".\n";
        Dialog::alert("%s", text.c_str());
        if (_frame) _frame->openOptionsWindow();
        return;
    }
    // A directory opens, and fails only on the first read.
    int error = _fd ? 0 : errno;
    struct stat st;
    if (!error && ::fstat(::fileno(_fd), &st) != 0) error = errno;
    else if (!error && S_ISDIR(st.st_mode)) error = EISDIR;
    if (!error) {
        eachLine(_fd, [this](const std::string& line) { processLine(line); });
        if (std::ferror(_fd)) error = errno ? errno : EIO;
    }
    if (_fd) std::fclose(_fd);
    _fd = nullptr;
    if (error) unreadable(error);
}

void ConfigInit::unreadable(int error)
{
    // Written back, the preferences read so far would replace the user's file.
    _keepFile = true;
    B_ERROR("cannot read " << _file << ": " << std::strerror(error));
    const std::string text =
        Translated::message("Fout!! Bestand \"%s\" kan niet gelezen worden: %s.", _file, std::strerror(error)) + "\n" +
        gettext("De voorkeuren worden deze keer niet opgeslagen.", 0) + "\n";
    Dialog::alert("%s", text.c_str());
    if (_frame) _frame->openOptionsWindow();
}

ConfigInit::PortChoice ConfigInit::choosePort(const std::string& given, const std::string& filePort,
                                              const std::function<bool(const std::string&)>& usable)
{
    const char* variable = std::getenv(RUN_PORT_VARIABLE);
    const PortChoice order[] = {{given, "-port"}, {filePort, _file}, {variable ? variable : "", RUN_PORT_VARIABLE}};
    for (const PortChoice& c : order)
        if (!c.port.empty() && (!usable || usable(c.port))) return c;
    return {"", RUN_PORT_VARIABLE};
}

std::string ConfigInit::portIn(const std::string& file)
{
    std::string port;
    FILE* in = std::fopen(file.c_str(), "r");
    if (!in) return port;
    // As a start reads it: the last port named that fits counts.
    eachLine(in, [&port](const std::string& line) {
        std::string key, value;
        if (splitLine(line, &key, &value) && key == "comport" && portNameFits(value)) port = value;
    });
    std::fclose(in);
    return port;
}

void ConfigInit::processLine(const std::string& line)
{
    std::string key, value;
    if (!splitLine(line, &key, &value)) return;

    if (key == "settingfile") {
        if (_settingBin)
            _settingBin->file(value.c_str());
        else
            _settingFile = value;
    } else if (key == "comport") {
        comActive(value.c_str());
    } else if (key == "korvantype") {
        const std::string::size_type semi = value.find(';');
        const std::string standard = value.substr(0, semi).c_str();
        std::string custom = semi == std::string::npos ? std::string() : value.substr(semi + 1).c_str();
        if (custom.empty()) custom = standard;
        // A pair without a standard code names no type, but is written back;
        // as written ("standard;custom") it must fit a value again.
        KorTypePair pair;
        StringUtils::copyTo(pair.standard, standard.c_str());
        StringUtils::copyTo(pair.custom, custom.c_str(), MAX_VALUE - 1 - std::strlen(pair.standard));
        _korTypeList.push_back(pair);
    } else if (key == "lastrevpack") {
        if (_root)
            _root->lastRevpackFile(value.c_str());
        else
            _lastRevpackFile = value;
    } else if (key == "verify") {
        _verify = value != "0";
    } else if (key == "lastbin") {
        if (_root)
            _root->lastBinFile(value.c_str());
        else
            _lastBinFile = value;
    }
}

void ConfigInit::writeFile()
{
    if (_keepFile) return;
    // The preferences are written whole or not at all: a full disk must not
    // cost the port and the type names already there.
    AtomicFile out(_file);
    _fd = out.open();
    if (_fd) {
        std::fprintf(_fd, "%s%s\n", _txtSettingFileStart, _settingBin ? _settingBin->file() : _settingFile.c_str());
        const bool runOnly = !_runPort.empty() && _runPort == _comActive;
        std::fprintf(_fd, "%s%s\n", _txtComStart, runOnly ? _filePort.c_str() : _comActive);
        for (const KorTypePair& p : _korTypeList)
            std::fprintf(_fd, "%s%s;%s\n", _txtKorTypeStart, p.standard, p.custom);
        const char* revpack = _root ? _root->lastRevpackFile() : _lastRevpackFile.c_str();
        const char* bin = _root ? _root->lastBinFile() : _lastBinFile.c_str();
        std::fprintf(_fd, "%s%s\n", _txtlastRevpackFile, revpack ? revpack : "");
        std::fprintf(_fd, "%s%s\n", _txtlastBinFile, bin ? bin : "");
        std::fprintf(_fd, "verify=%d\n", _verify ? 1 : 0);
        _fd = nullptr;
    }
    if (out.commit()) return;
    const char* why = std::strerror(out.error());
    B_ERROR("cannot write " << _file << ": " << why << "; the previous one is kept");
    // A run nobody watches must not end as if all went well: it fails with
    // the reason, unless it failed already.
    if (RunLog::begun())
        RunFailure::record({RunFailure::Kind::Other, std::string("cannot write ") + _file + ": " + why +
                                                         "; the previous one is kept"});
    Dialog::alert("%s", Translated::message("Fout!! Bestand \"%s\" kan niet opgeslagen worden: %s. Het vorige bestand blijft.",
                                        _file, why).c_str());
}

uint8_t ConfigInit::comPorts(char** list)
{
    // Looked at again each time: an adapter may have been plugged in since.
    initComPorts();
    uint8_t n = 0;
    for (int i = 0; i < MAX_COM_PORTS && _comOpen[i][0] != '\0'; ++i) {
        if (list) list[n] = _comOpen[i];
        ++n;
    }
    return n;
}

bool ConfigInit::comActive(const char* port)
{
    if (port && !portNameFits(port)) {
        B_ERROR("port name longer than " << COM_NAME_SIZE - 1 << " characters refused: " << port);
        return false;
    }
    StringUtils::copyTo(_comActive, port);
    return true;
}

std::vector<const char*> ConfigInit::korTypes() const
{
    std::vector<const char*> names;
    for (const KorTypePair& p : _korTypeList)
        if (p.standard[0] != '\0') names.push_back(p.custom);
    return names;
}

const char* ConfigInit::customKorType(const char* standard) const
{
    if (!standard) return "";
    for (const KorTypePair& p : _korTypeList)
        if (p.standard[0] != '\0' && std::strcmp(p.standard, standard) == 0) return p.custom;
    return standard;
}

const char* ConfigInit::ombrixKorType(const char* custom)
{
    if (!custom) return "";
    for (const KorTypePair& p : _korTypeList)
        if (p.standard[0] != '\0' && std::strcmp(p.custom, custom) == 0) return p.standard;
    return "";
}

const char* ConfigInit::replaceOmbrixByCustomType(const char* text)
{
    static std::string result;
    if (!text) text = "";
    for (const KorTypePair& p : _korTypeList) {
        const size_t len = std::strlen(p.standard);
        if (len > 0 && std::strncmp(text, p.standard, len) == 0) {
            result = std::string(p.custom) + (text + len);
            return result.c_str();
        }
    }
    Dialog::alert("Error!! Replace Ombrix by Custom type.\n        Type: %s not in %s file\n", text, _file);
    result.clear();
    return result.c_str();
}

int ConfigInit::probePorts(const std::vector<std::string>& devices, char (*slots)[COM_NAME_SIZE], int nrSlots)
{
    int n = 0;
    for (const std::string& dev : devices) {
        if (n >= nrSlots) break;
        if (dev.empty() || dev.size() > COM_NAME_SIZE - 1) continue;
        Serial port;
        port.lookOnly(true);
        const bool answers = port.openPort(dev.c_str());
        port.closePort();
        // A USB adapter's device exists only while it is plugged in: one the
        // user may not open is still listed, so that choosing it says why.
        // A ttyS device exists whether or not there is a port behind it.
        if (answers || (PortNames::pluggable(dev) && port.openFault() == Serial::NO_PERMISSION)) {
            std::snprintf(slots[n], COM_NAME_SIZE, "%s", dev.c_str());
            ++n;
        }
    }
    return n;
}

void ConfigInit::initComPorts()
{
    std::memset(_comOpen, 0, sizeof _comOpen);
    probePorts(PortNames::serialDevices(_devicesDir), _comOpen, MAX_COM_PORTS);
}
