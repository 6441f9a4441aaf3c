#ifndef KORPROG_PROGCTRL_DATA_REVPACKDBOWNER_H
#define KORPROG_PROGCTRL_DATA_REVPACKDBOWNER_H

#include <cstdint>

// What the revision-pack database needs from the programming controller that
// owns it. The controller root implements it; a database without an owner
// traces nothing, shows no status line and remembers no last choice.
class RevPackDbOwner {
public:
    virtual ~RevPackDbOwner() = default;
    // The controller's debug level; bit 0x10 traces the boot-loader choice.
    virtual uint16_t traceLevel() const = 0;
    // One line in the window's status output, red when isError.
    virtual void frmStatusInfo(const char* text, bool isError) = 0;
    // Lets the window redraw before the database pauses.
    virtual void refreshWindow() = 0;
    // The last pack and image chosen, kept in config.ini by the controller.
    virtual void lastRevpackFile(const char* file) = 0;
    virtual void lastBinFile(const char* file) = 0;

    // The rest has defaults, so an owner that does not know them still
    // works: no unit-initiated upgrade, no pack from the command line, and
    // standard type codes everywhere.
    // The unit itself asked for the boot loader (it then reports no type).
    virtual bool upgrInitByKor() const { return false; }
    // The pack the program was started with; null when none.
    virtual const char* refPackFile() const { return nullptr; }
    // The name a standard type code is shown under (config.ini).
    virtual const char* customKorType(const char* standard) const { return standard; }
    // An image file name with its leading standard type code replaced by
    // the custom name; "" (after an alert) when no pair matches.
    virtual const char* replaceOmbrixByCustomType(const char* fileName) { return fileName; }
};

#endif
