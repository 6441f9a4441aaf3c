#ifndef KORPROG_PROGCTRL_DATA_CONFIGINITOWNER_H
#define KORPROG_PROGCTRL_DATA_CONFIGINITOWNER_H

// What the configuration needs from the programming controller: the last
// revision pack and firmware file chosen, kept across runs in config.ini.
class ConfigInitOwner {
public:
    virtual ~ConfigInitOwner() = default;
    virtual const char* lastRevpackFile() const = 0;
    virtual void lastRevpackFile(const char* file) = 0;
    virtual const char* lastBinFile() const = 0;
    virtual void lastBinFile(const char* file) = 0;
};

#endif
