#ifndef MAIN_MAIN_H
#define MAIN_MAIN_H

#include "helm/BMainState.h"

#define Sw_VERSION "KP-2.22"

// The application's main state: the root of the whole program. Its members
// are shared with the rest of the program.
class Main : public BMainState {
public:
    Main() = default;

    bool isPersistent() const override { return true; }
    void onEntry(const BEvent*) override;
    void onExit(const BEvent*) override;

    static bool shutdownActive() { return _shutdown; }
    // What the program ends with: after a failure its kind's code in an
    // unattended run (1 in the window's), else what the controller left in
    // _exitCode.
    static int exitCode();

    static const char* _dbgAddr;
    static int _dbgPort;
    static char _progDataDir[2048];
    static char _revpacksDir[2048];
    static bool _wsStartupDll;
    static bool _shutdown;
    static int _exitCode;
    static const char* _refPackFile;
};

#endif
