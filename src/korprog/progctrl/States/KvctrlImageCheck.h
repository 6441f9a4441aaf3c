#ifndef KORPROG_PROGCTRL_STATES_KVCTRLIMAGECHECK_H
#define KORPROG_PROGCTRL_STATES_KVCTRLIMAGECHECK_H

class RevPackDb;

// Whether a firmware image of the open pack may go onto the connected unit
// (the unit's identity as the database holds it), with the alert that says
// why not. Marks the image's settings file for programming first when the
// unit's network type differs from the image's.
//
// Until the pack's own full check (type, hardware, software and special
// rules) is available, this applies its type rules only.
class KvctrlImageCheck {
public:
    static bool allowed(RevPackDb& db, const char* binFile);

private:
    // A type row of the restriction list lets this image type onto this unit type.
    static bool typeRowAllows(RevPackDb& db, const char* unitType, const char* binType);
};

#endif
