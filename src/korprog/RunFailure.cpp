#include "korprog/RunFailure.h"

namespace {

RunFailure runFailure;

}  // namespace

const RunFailure& RunFailure::ofRun() { return runFailure; }

bool RunFailure::record(const RunFailure& failure)
{
    if (runFailure.failed()) return false;
    runFailure = failure;
    // A failure nobody named is a failure all the same.
    if (!runFailure.failed()) runFailure.kind = Kind::Other;
    return true;
}

void RunFailure::reset() { runFailure = RunFailure(); }

int RunFailure::exitCode(Kind kind)
{
    switch (kind) {
    case Kind::None: return 0;
    case Kind::Busy: return 2;
    case Kind::BadInput: return 3;
    case Kind::Port: return 4;
    case Kind::NoUnit: return 5;
    case Kind::UnitLost: return 6;
    case Kind::Refused: return 7;
    case Kind::NotAllowed: return 8;
    case Kind::Verify: return 9;
    case Kind::Backup: return 10;
    case Kind::Other: break;
    }
    return 1;
}

const char* RunFailure::name(Kind kind)
{
    switch (kind) {
    case Kind::None: return "none";
    case Kind::Busy: return "busy";
    case Kind::BadInput: return "bad_input";
    case Kind::Port: return "port";
    case Kind::NoUnit: return "no_unit";
    case Kind::UnitLost: return "unit_lost";
    case Kind::Refused: return "refused";
    case Kind::NotAllowed: return "not_allowed";
    case Kind::Verify: return "verify";
    case Kind::Backup: return "backup";
    case Kind::Other: break;
    }
    return "other";
}
