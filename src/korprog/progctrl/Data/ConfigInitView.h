#ifndef KORPROG_PROGCTRL_DATA_CONFIGINITVIEW_H
#define KORPROG_PROGCTRL_DATA_CONFIGINITVIEW_H

class ConfigInit;

// What the configuration needs from the main window: it registers itself
// there, and without a preferences file it opens the options window so the
// engineer chooses a COM port.
class ConfigInitView {
public:
    virtual ~ConfigInitView() = default;
    virtual void configInit(ConfigInit* config) = 0;
    virtual void openOptionsWindow() = 0;
};

#endif
