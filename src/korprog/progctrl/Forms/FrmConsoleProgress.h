#ifndef KORPROG_PROGCTRL_FORMS_FRMCONSOLEPROGRESS_H
#define KORPROG_PROGCTRL_FORMS_FRMCONSOLEPROGRESS_H

#include <cstdio>

#include "helm/BDefs.h"
#include "korprog/runlog/StatusOut.h"

// Progress of an image transfer for a person: the bytes sent and the time
// left at the rate the line has managed so far, one line per tenth of the
// image, or on a terminal one line rewritten as the image goes.
class FrmConsoleProgress {
public:
    // out: where the lines go; null writes none.
    explicit FrmConsoleProgress(FILE* out, StatusOut::Style style = StatusOut::TENTHS)
        : _out(out), _style(style), _nrBytes(0), _lastBytePtr(0), _nextTenth(1), _startTick(0), _shownTick(0),
          _started(false)
    {
    }

    // bytePtr of nrBytes image bytes have been sent.
    void sent(int bytePtr, int nrBytes);

private:
    FILE* _out;
    StatusOut::Style _style;
    int _nrBytes;
    int _lastBytePtr;
    int _nextTenth;
    BTickType _startTick;
    BTickType _shownTick;  // when the line in place was last written
    bool _started;
};

#endif
