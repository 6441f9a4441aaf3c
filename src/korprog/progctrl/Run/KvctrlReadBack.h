#ifndef KORPROG_PROGCTRL_RUN_KVCTRLREADBACK_H
#define KORPROG_PROGCTRL_RUN_KVCTRLREADBACK_H

#include <string>
#include <vector>

#include "korprog/progctrl/Data/AdnFile.h"
#include "korprog/runlog/RunFacts.h"

class BState;
class KvctrlRoot;
class SettingBin;

// The read-back after programming: the unit's settings are fetched again
// (KvctrlDownloading, READ_BACK) and every entry that was sent is compared
// with what the unit now holds. A difference fails the programming, and the
// upgrade a pack's settings were programmed for does not start.
class KvctrlReadBack {
public:
    // Names at most this many differences; the rest are counted.
    static const int NAMED = 5;

    // Whether programmed settings are read back: -noverify for a command-line
    // run, the option in config.ini for the window.
    static bool enabled(KvctrlRoot* root);

    // The entries sent (valid for the unit; IMEI and IMSI are never sent)
    // whose text or number reads back otherwise; got[k - 1] tells whether
    // entry k came at all (one that did not reads back as empty).
    static std::vector<EntryDifference> compare(SettingBin& bin, const std::vector<AdnFile::Line>& fetched,
                                                const std::vector<bool>& got);
    // "verify failed: entry 37 reads back 'Kelder' instead of 'Keuken'",
    // the first NAMED and how many more.
    static std::string reason(const std::vector<EntryDifference>& differences);

    // Tells the outcome (status line, alert or the run's failure, RunLog)
    // and the run's plan (an upgrade the settings belong to follows when
    // they verified), and ends a command-line programming run. complete:
    // the whole fetch arrived.
    static void conclude(KvctrlRoot* root, BState* from, const std::vector<AdnFile::Line>& fetched,
                         const std::vector<bool>& got, bool complete);
};

#endif
