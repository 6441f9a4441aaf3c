#ifndef KORPROG_PROGCTRL_RUN_KVCTRLVERSIONCHECK_H
#define KORPROG_PROGCTRL_RUN_KVCTRLVERSIONCHECK_H

#include <string>

#include "korprog/RunFailure.h"

class BEvtQueue;

class BTimer;
class KvctrlRoot;

// After an upgrade the unit restarts on the new image: the upgrade counts
// as done only when the unit reports the image's type and software again,
// within VERSION_WAIT_S. The first status record after the upgrade decides.
class KvctrlVersionCheck {
public:
    static const int VERSION_WAIT_S = 60;

    explicit KvctrlVersionCheck(KvctrlRoot* root);
    ~KvctrlVersionCheck();

    // Expects type and software (an empty expectation is not compared) and
    // arms the wait (LOC_VERSION_TO into queue). A unit that had an IMEI
    // and reports another one is another unit: the upgrade is not proven.
    void expect(BEvtQueue* queue, const std::string& type, const std::string& software, const std::string& imei = "");
    bool waiting() const { return _waiting; }
    // A status record arrived; tells the outcome when one was waited for.
    void reported(const char* type, const char* software, const char* imei = nullptr);
    // The wait ran out.
    void timedOut();
    // The wait is given up without a word (another transfer starts).
    void cancel();
    // The unit took the whole image but its end went unanswered: only the
    // report proves the upgrade; any other outcome is this failure (told:
    // its words in the window).
    void endUnacknowledged(const RunFailure& failure, const std::string& told);

    // "" when type and software are the expected ones, else the reason:
    // "the unit reports KV-4.12 after the upgrade, expected KV-4.13".
    static std::string mismatch(const std::string& expType, const std::string& expSoftware, const char* type,
                                const char* software);

private:
    void failed(const std::string& english, const std::string& told);
    void endCommandLineRun();
    void failUnacknowledged();

    KvctrlRoot* _root;
    BTimer* _timer;
    bool _waiting;
    // Taken when the wait is armed: the command-line switch of the upgrade
    // is cleared as its transfer ends, before the unit reports itself.
    bool _unattended;
    std::string _type, _software, _imei;
    bool _endUnacknowledged;
    RunFailure _unacknowledged;
    std::string _unacknowledgedTold;
};

#endif
