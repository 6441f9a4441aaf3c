#ifndef KORPROG_PROGCTRL_STATES_KVCTRLUPGRPROGRESS_H
#define KORPROG_PROGCTRL_STATES_KVCTRLUPGRPROGRESS_H

#include <cstdio>

#include "helm/BDefs.h"

// Progress of an image transfer for a person who watches a terminal: one
// line per tenth of the image, with the bytes sent and the time left at the
// rate the line has managed so far.
class KvctrlUpgrProgress {
public:
    // out: where the lines go; null writes none.
    explicit KvctrlUpgrProgress(FILE* out) : _out(out), _nextTenth(1), _startTick(0), _started(false) {}

    // bytePtr of nrBytes image bytes have been sent.
    void sent(int bytePtr, int nrBytes);

private:
    FILE* _out;
    int _nextTenth;
    BTickType _startTick;
    bool _started;
};

#endif
