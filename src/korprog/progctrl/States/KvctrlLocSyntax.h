#ifndef KORPROG_PROGCTRL_STATES_KVCTRLLOCSYNTAX_H
#define KORPROG_PROGCTRL_STATES_KVCTRLLOCSYNTAX_H

// The controller's own events: requests the window posts to the root, the
// ends of transfers, and the expiries of the controller's timers. They never
// leave the controller.

#include "bdebug/BAssert.h"
#include "helm/BBindingEvent.h"
#include "helm/BEvent.h"
#include "helm/BLocalEvent.h"
#include "helm/BState.h"
#include "korprog/KvprgCompList.h"

enum KvctrlLocEvt {
    LOC_DNLD_REQUEST = 100,       // "Ophalen"
    LOC_LIFECHECK_TIMEOUT = 101,  // the unit said nothing for too long
    LOC_LIFECHECK_TIMER = 102,    // time for the next status request
    LOC_UPL_REQUEST = 103,        // "Programmeren"
    LOC_UPL_END = 104,            // the upload has ended
    LOC_UPGRADE_END = 105,        // the unit took the whole image
    LOC_UPGRADE_REQ = 106,        // start a firmware upgrade
    LOC_UPGRADE_TO = 107,         // the upgrade made no progress for too long
    LOC_UPG_DATA_READY = 108,     // the last image packet was acknowledged
    LOC_BOOTINFO_TO = 109,        // no boot record after the boot loader was sent
    LOC_UPLOAD_TO = 110,          // no answer to the upload
    LOC_EOT_TO = 111,             // no answer to the end of the image
    LOC_VERSION_TO = 112,         // the upgraded unit did not report itself in time
    LOC_DNLD_TO = 113,            // no entry came for the download request
    LOC_FETCH_REQ = 114           // fetch the settings that are the run (-fetch, -compare)
};

class KvctrlDldReqEvt : public BLocalEvent {
public:
    KvctrlDldReqEvt() : BLocalEvent(LOC_DNLD_REQUEST, true) {}
};

class KvctrlUplReqEvt : public BLocalEvent {
public:
    KvctrlUplReqEvt() : BLocalEvent(LOC_UPL_REQUEST, true) {}
};

class KvctrlUplEndEvt : public BLocalEvent {
public:
    KvctrlUplEndEvt() : BLocalEvent(LOC_UPL_END, true) {}
};

namespace Kvctrl {
// A unit that refuses the same frame this many times in a row is given up.
const int MAX_NAKS_IN_A_ROW = 10;

// Where an event the controller's states receive comes from.
inline bool fromParser(const BEvent* e) { return e->moduleId() == KOR_PROG && e->componentId() == PROT_PARSER; }
inline bool fromDriver(const BEvent* e) { return e->moduleId() == KOR_PROG && e->componentId() == CONN_DRV; }
inline bool isLocal(const BEvent* e) { return e->moduleId() == KOR_PROG && e->componentId() == PROG_CTRL; }

// Sends a protocol event from a state of the controller to the parser.
inline bool toParser(BState* from, BBindingEvent* e) { return from->sendExternal(e, KOR_PROG, PROT_PARSER, nullptr) > 0; }

// A handler that failed is reported; nothing else happens.
inline void report(bool result, const BEvent* e)
{
    B_ASSERT(result, "Unsuccessful result event=" << int(e->signalId()));
}
}  // namespace Kvctrl

#endif
