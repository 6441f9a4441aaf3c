#include "korprog/runlog/RunOptions.h"

bool RunOptions::BACKUP = true;
bool RunOptions::VERIFY = true;
bool RunOptions::JSON = false;
const char* RunOptions::REPORT = "";

void RunOptions::reset()
{
    BACKUP = true;
    VERIFY = true;
    JSON = false;
    REPORT = "";
}
