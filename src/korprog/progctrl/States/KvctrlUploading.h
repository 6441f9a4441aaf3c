#ifndef KORPROG_PROGCTRL_STATES_KVCTRLUPLOADING_H
#define KORPROG_PROGCTRL_STATES_KVCTRLUPLOADING_H

#include <cstdint>
#include <string>

#include "helm/BSimpleState.h"
#include "korprog/RunFailure.h"

class BTimer;
class KvctrlRoot;
class SettingBin;

// "Programmeren": the bin's entries go to the unit one by one, each answered
// by ACK (next entry) or NAK (the same again); a waiting frame or 2 seconds
// of silence repeat the last request. Ends with the end-of-upload frame,
// which the unit must take (ACK) before the upload counts as done: a unit
// keeps the settings only then. An upload that does not get there is told
// with the entries the unit acknowledged.
class KvctrlUploading : public BSimpleState {
public:
    static const uint8_t UPLOAD_TIMEOUT_INTV = 2;

    explicit KvctrlUploading(BCompositeState* enclosing);
    // Tells the run's plan the upload ended: the upgrade these settings
    // were programmed for may follow.
    ~KvctrlUploading() override;

    // An entry or the end of upload is out and its answer not yet in.
    static bool answerAwaited() { return _awaited; }

    bool isPersistent() const override { return false; }
    void onEntry(const BEvent* e) override;
    void onExit(const BEvent* e) override;
    void onEvent(const BEvent* e) override;

private:
    bool handleAck(const BEvent* e);
    bool handleNak(const BEvent* e);
    bool waiting(const BEvent* e);
    // Sends the next entry; false when there is none or the user stopped.
    bool sendNextEntry();
    // Sends the end of upload; a stopped upload ends at once, a whole one
    // when the unit takes the end.
    void endUpload();
    bool endTaken();
    bool sendEntry(uint8_t nr);
    void startTimer();
    void stopTimer();
    // Tells an upload that did not complete: why, and how far it got.
    void tellIncomplete();
    std::string cause() const;
    RunFailure unattendedFailure() const;

    KvctrlRoot* _root;
    SettingBin* _settingBin;
    uint8_t _actEntry;
    BTimer* _timer;
    // The unit kept refusing an entry, or took the end before the last one.
    bool _stopped;
    // The unit kept refusing the request, an entry or the end.
    bool _refused;
    // Every entry was sent; the end of upload went after the last one.
    bool _allSent;
    // The end of upload is out, its answer awaited.
    bool _endSent;
    // The unit kept refusing the end of upload.
    bool _endRefused;
    // The unit took the end of upload after every entry.
    bool _completed;
    int _naksInARow;
    // The last entry the unit acknowledged.
    int _acked;
    // A read-back follows (the run's plan decides); it ends a command-line
    // run or starts the upgrade.
    bool _readBack;
    static bool _awaited;
};

#endif
