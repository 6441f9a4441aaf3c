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
