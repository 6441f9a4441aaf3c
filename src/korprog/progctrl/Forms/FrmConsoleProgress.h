#ifndef KORPROG_PROGCTRL_FORMS_FRMCONSOLEPROGRESS_H
#define KORPROG_PROGCTRL_FORMS_FRMCONSOLEPROGRESS_H

#include <cstdio>

#include "helm/BDefs.h"

// Progress of an image transfer for a person who watches a terminal: one
// line per tenth of the image, with the bytes sent and the time left at the
// rate the line has managed so far.
class FrmConsoleProgress {
public:
    // out: where the lines go; null writes none.
    explicit FrmConsoleProgress(FILE* out)
        : _out(out), _nrBytes(0), _lastBytePtr(0), _nextTenth(1), _startTick(0), _started(false)
    {
    }

    // bytePtr of nrBytes image bytes have been sent.
    void sent(int bytePtr, int nrBytes);

private:
    FILE* _out;
    int _nrBytes;
    int _lastBytePtr;
    int _nextTenth;
    BTickType _startTick;
    bool _started;
};

#endif
