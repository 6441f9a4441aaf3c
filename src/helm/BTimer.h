#ifndef HELM_BTIMER_H
#define HELM_BTIMER_H

#include "helm/BDefs.h"

class BEvtQueue;

// A timer posts a local event with its signal into its queue when it expires.
// Owned by the state that created it; destruction disarms it.
class BTimer {
    friend class BTimerManager;

public:
    enum InterValType { REPEAT = 0, ONE_SHOT = 1, UNDEF_INTERVAL = 2 };
    enum DayId { SUNDAY = 0, MONDAY, TUESDAY, WEDNESDAY, THURSDAY, FRIDAY, SATERDAY };

    BTimer();
    BTimer(BEvtQueue* queue, InterValType type);
    virtual ~BTimer();
    BTimer(const BTimer&) = delete;
    BTimer& operator=(const BTimer&) = delete;

    void fireIn(BEvtQueue* q, BTickType n, SignalId s);
    void fireEvery(BEvtQueue* q, BTickType n, SignalId s);
    void load(BTickType n, SignalId s);
    void disarm();
    bool armed() const { return _armed; }
    void fireAt(BEvtQueue* q, uint8_t hour, uint8_t min, uint8_t sec, SignalId s);
    void fireAt(BEvtQueue* q, uint32_t secondsOfDay, SignalId s);
    void fireAt(BEvtQueue* q, DayId day, uint8_t hour, uint8_t min, uint8_t sec, SignalId s);
    void fireAt(BEvtQueue* q, DayId day, uint32_t secondsOfDay, SignalId s);
    virtual void fire();

    BTickType timeStamp() const { return _timeStamp; }
    SignalId signal() const { return _signal; }
    BEvtQueue* queue() const { return _queue; }

    static BTickType n10Ms(BTickType n) { return n; }
    static BTickType n100Ms(BTickType n) { return 10 * n; }
    static BTickType nSecs(BTickType n) { return 100 * n; }
    static BTickType nMins(BTickType n) { return 6000 * n; }
    static BTickType nHours(BTickType n) { return 360000 * n; }
    static BTickType nDays(BTickType n) { return 8640000 * n; }

private:
    void arm(BEvtQueue* q, BTickType n, SignalId s);
    bool validTime(uint8_t hour, uint8_t min, uint8_t sec);

    BTimer* _next;
    BEvtQueue* _queue;
    BTickType _timeStamp;
    BTickType _interval;
    bool _armed;
    SignalId _signal;
    InterValType _intvType;
    bool _absoluteTimer;
};

#endif
