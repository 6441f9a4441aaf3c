#ifndef KORPROG_PROGCTRL_DATA_SETTINGBINOWNER_H
#define KORPROG_PROGCTRL_DATA_SETTINGBINOWNER_H

#include <cstdint>

// What the setting bin needs from the programming controller that owns it:
// the controller's debug level, which gates the bin's trace.
class SettingBinOwner {
public:
    virtual ~SettingBinOwner() = default;
    virtual uint16_t traceLevel() const = 0;
};

#endif
