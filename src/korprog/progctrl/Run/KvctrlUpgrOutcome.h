#ifndef KORPROG_PROGCTRL_RUN_KVCTRLUPGROUTCOME_H
#define KORPROG_PROGCTRL_RUN_KVCTRLUPGROUTCOME_H

#include <string>

#include "korprog/RunFailure.h"

// How an upgrade ended, in words: what went wrong (with the names and the
// count it needs), for the engineer in the window's language and for an
// unattended run as one English line.
class KvctrlUpgrOutcome {
public:
    enum Cause {
        FAILED,          // no more is known
        ABANDONED,       // the upgrade was asked for again
        NAKS,            // n: refusals in a row
        RESTARTED,       // the unit restarted in the middle of the image
        NO_BOOT_RECORD,  // a loader went out, no boot record came back
        NO_BOOT_LOADER,  // a: pack, b: hardware: none of the pack's loaders fits
        NOT_ALLOWED,     // a: type, b: hardware of the unit
        SILENT,          // no progress for too long
        PORT_LOST,       // the port went away and did not come back
        EOT_UNANSWERED   // n: ends of the image sent without an answer
    };

    explicit KvctrlUpgrOutcome(Cause cause = FAILED, const std::string& a = "", const std::string& b = "", int n = 0)
        : _cause(cause), _a(a), _b(b), _n(n)
    {
    }

    Cause cause() const { return _cause; }
    // "the unit refused the image 10 times in a row"
    std::string english() const;
    // The failure of an unattended upgrade: its kind, and english() as reason.
    RunFailure failure() const;
    // "Upgrade afgebroken na 640 van 3000 bytes: de COM poort is weggevallen."
    // in the chosen language: acked bytes of the total were taken.
    std::string told(int acked, int total) const;
    // "Upgrade gereed: de Korvan meldt software KV-6.01", translated.
    static std::string finished(const char* software);
    // The same, for a unit that did not answer the end of the image.
    static std::string finishedUnacknowledged(const char* software);

private:
    // What happened, translated.
    std::string what() const;

    Cause _cause;
    std::string _a, _b;
    int _n;
};

#endif
