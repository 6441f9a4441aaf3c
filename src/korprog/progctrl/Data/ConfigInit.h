#ifndef KORPROG_PROGCTRL_DATA_CONFIGINIT_H
#define KORPROG_PROGCTRL_DATA_CONFIGINIT_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "korprog/progctrl/Data/KorTypeNames.h"

class ConfigInitOwner;
class ConfigInitView;
class SettingBin;

// The tool's own preferences (config.ini: last settings file, COM port,
// custom type names, last revision pack and firmware file), the serial
// ports present, and the translation between standard type codes and the
// custom names units may be sold under. Reads config.ini when created and
// writes it back when destroyed; a file that is there but cannot be read is
// left as it is. Each failure is alerted with its reason.
class ConfigInit : public KorTypeNames {
public:
    static const int MAX_NR_KORTYPES = 40;
    static const int MAX_COM_PORTS = 16;
    // A port name (COM1...COM16 or a device path): 255 characters and the terminator.
    static const int COM_NAME_SIZE = 256;
    static const int KORTYPE_SIZE = 41;
    // The environment variable naming a port for one run: used when
    // config.ini names none, and not written into it (-port is used
    // whatever config.ini names).
    static const char* const RUN_PORT_VARIABLE;

    // The port a run uses and what named it: "-port", "config.ini" or
    // RUN_PORT_VARIABLE.
    struct PortChoice {
        std::string port;    // "" when none names one
        std::string source;  // RUN_PORT_VARIABLE when none names one
    };
    // -port (given) over the port config.ini names (filePort) over
    // RUN_PORT_VARIABLE: the first that names a port `usable` takes (every
    // one when it is null).
    static PortChoice choosePort(const std::string& given, const std::string& filePort,
                                 const std::function<bool(const std::string&)>& usable = nullptr);

    typedef char KorType[KORTYPE_SIZE];
    struct KorTypePair {
        KorType standard;
        KorType custom;
    };

    // Registers with the window and as the bin's type-name translation,
    // reads config.ini and probes the serial ports.
    ConfigInit(SettingBin* settingBin, ConfigInitView* frame, ConfigInitOwner* root);
    // Writes config.ini.
    virtual ~ConfigInit();

    // Probes the ports again; pointers to the names of the ports found (at
    // most 16) go into list; returns how many.
    uint8_t comPorts(char** list);
    const char* comActive() const { return _comActive; }
    // Programmed settings are read back and compared ("verify=1", the default).
    bool verifyAfterProgramming() const { return _verify; }
    void verifyAfterProgramming(bool on) { _verify = on; }
    // A name longer than COM_NAME_SIZE - 1 characters is refused (false)
    // and the chosen port stays: a cut path would name another device.
    bool comActive(const char* port);

    // The custom names of all pairs, in the order read.
    std::vector<const char*> korTypes() const;
    // The custom name of a standard code; the code itself when it has none.
    const char* customKorType(const char* standard) const;
    // The standard code of a custom name; "" when it has none.
    const char* ombrixKorType(const char* custom) override;
    // text with its leading standard code replaced by the custom name (one
    // buffer, overwritten by the next call); "" and an alert without a match.
    const char* replaceOmbrixByCustomType(const char* text);

    // The preferences file, in the working directory.
    static const char* fileName() { return _file; }
    // The port a preferences file names, read as a start reads it, without
    // anything else a start does; "" when it names none.
    static std::string portIn(const std::string& file);

    SettingBin* settingBin() const { return _settingBin; }
    ConfigInitView* frame() const { return _frame; }

    // Stores into slots, in the given order, the names that open as serial
    // ports (exclusively, as the connection driver opens them), and the USB
    // adapters (ttyUSB*, ttyACM*) the user lacks the permission to open;
    // names longer than COM_NAME_SIZE - 1 characters are skipped. Returns
    // how many were stored.
    static int probePorts(const std::vector<std::string>& devices, char (*slots)[COM_NAME_SIZE], int nrSlots);
    // Where the probe looks for serial devices ("/dev"; tests point it elsewhere).
    static void devicesDir(const char* dir) { _devicesDir = dir ? dir : "/dev"; }

private:
    ConfigInit(const ConfigInit&) = delete;
    ConfigInit& operator=(const ConfigInit&) = delete;

    void readFile();
    // A file that is there but cannot be read: told, and kept as it is.
    void unreadable(int error);
    // Told once when it fails.
    void writeFile();
    void processLine(const std::string& line);
    void initComPorts();

    SettingBin* _settingBin;
    ConfigInitView* _frame;
    ConfigInitOwner* _root;
    FILE* _fd;
    // config.ini is there but could not be read: it is not written over.
    bool _keepFile;
    bool _verify;
    char _comOpen[MAX_COM_PORTS][COM_NAME_SIZE];
    char _comActive[COM_NAME_SIZE];
    std::vector<KorTypePair> _korTypeList;
    // Kept here only while no bin or controller holds them.
    std::string _settingFile;
    std::string _lastRevpackFile;
    std::string _lastBinFile;
    // The port for this run only (-port, RUN_PORT_VARIABLE), "" when none.
    std::string _runPort;
    // The port config.ini named: what it keeps while the run uses its own.
    std::string _filePort;

    static const char* const _txtSettingFileStart;
    static const char* const _txtComStart;
    static const char* const _txtKorTypeStart;
    static const char* const _txtlastRevpackFile;
    static const char* const _txtlastBinFile;
    static const char* const _file;
    static std::string _devicesDir;
};

#endif
