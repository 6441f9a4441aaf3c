#include "korprog/runlog/RunLog.h"

void RunLog::unit(const UnitIdentity&) {}

void RunLog::backup(const std::string&) {}

void RunLog::progress(int64_t, int64_t, const char*) {}

void RunLog::verify(bool, const std::vector<EntryDifference>&) {}
