#ifndef HELM_BDEFS_H
#define HELM_BDEFS_H

#include <cstdint>

// Identifier spaces of the runtime.
typedef uint16_t ModuleId;
typedef uint8_t ComponentId;
typedef uint8_t StateId;
typedef uint8_t SignalId;
typedef uint8_t RegionId;
typedef uint16_t DebugLevel;
typedef uint32_t BTickType;

enum FirstModule { MOD_UNDEFINED = 0, MOD_HELM = 1, MOD_MAIN = 2, FIRST_MODULE = 10 };
enum FirstComponent { CMP_UNDEFINED = 0, CMP_HELM = 1, CMP_MAIN = 2, FIRST_COMPONENT = 10 };
enum FirstStateId { STATE_UNDEFINED = 0, STATE_ROOT = 2, FIRST_STATE = 10 };
enum FirstSignal {
    FIRST_MODULE_SIGNAL = 0,
    FIRST_COMPONENT_SIGNAL = 50,
    FIRST_LOCAL_SIGNAL = 100,
    FIRST_SYSTEM_SIGNAL = 200
};

enum SystemSignal {
    SIG_UNDEFINED = 200,
    SIG_SLEEP = 201,
    SIG_WATCHDOG_TIMEOUT = 202,
    SIG_WATCHDOG_ERROR = 203,
    SIG_WATCHDOG_RESET = 204,
    SIG_SETUP_BINDING = 205,
    SIG_BINDING_ACCEPTED = 206,
    SIG_BINDING_REJECTED = 207,
    SIG_RELEASE_BINDING = 208
};

// The application's module.
enum ModList { KOR_PROG = 10 };

enum BFinal { B_DONE = 0, B_ERROR = 1 };

enum TransitionMode { TRAN_NONE = 0, TRAN_INTERNAL = 1, TRAN_TARGET = 2, TRAN_DONE = 3, TRAN_ERROR = 4 };

enum SystemStatus { SYSTEM_SLEEPING = 0, SYSTEM_ACTIVE = 1, SYSTEM_TERMINATING = 2, SYSTEM_TERMINATED = 3 };

enum SystemAction {
    SYSACT_ONENTRY = 0,
    SYSACT_ONEXIT = 1,
    SYSACT_ONEVENT = 2,
    SYSACT_ONDONE = 3,
    SYSACT_ONERROR = 4,
    SYSACT_ONINITIAL = 5,
    SYSACT_ONSETUP = 6,
    SYSACT_ONRELEASE = 7,
    SYSACT_ONSLEEP = 8,
    SYSACT_ONACCEPTED = 9,
    SYSACT_ONREJECTED = 10,
    SYSACT_ONWATCHDOGERROR = 11,
    SYSACT_UNDEF = 12
};

// Debug level bits a root's level is tested against.
enum HelmDebugBits : DebugLevel {
    DBG_SEND = 0x001,
    DBG_SEND_DATA = 0x002,
    DBG_TRAN_INTERNAL = 0x004,
    DBG_TRAN_TARGET = 0x008,
    DBG_ENTRY = 0x080,
    DBG_EXIT = 0x100,
    DBG_BINDING = 0x200
};

#define HELM_SW_VERSION "HELM-5.0.3"

#endif
