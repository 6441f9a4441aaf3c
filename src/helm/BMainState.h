#ifndef HELM_BMAINSTATE_H
#define HELM_BMAINSTATE_H

#include <string>

#include "helm/BRootState.h"

// The application's top state: owns the background queue, ends each busy
// period with SIG_SLEEP, and guards against a second instance of the same
// version through the named mutex.
class BMainState : public BRootState {
public:
    BMainState();
    ~BMainState() override;

    bool isPersistent() const override { return true; }
    void onSetup(BBinding*) override;
    void onRelease(BBinding*) override;
    void dispatch() override;

    virtual void startup();
    virtual void shutdown();
    virtual void onSleep() {}

    // Names the named mutex; at least 8 characters.
    static std::string _mutexId;
    // False: instances run side by side (each guards what it shares by
    // other means) and startup() takes no named mutex.
    static bool _singleInstance;
};

#endif
