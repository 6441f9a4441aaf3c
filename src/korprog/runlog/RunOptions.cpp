#include "korprog/runlog/RunOptions.h"

bool RunOptions::BACKUP = true;
bool RunOptions::VERIFY = true;
bool RunOptions::JSON = false;
bool RunOptions::QUIET = false;
const char* RunOptions::REPORT = "";
const char* RunOptions::PORT = "";
std::vector<std::string> RunOptions::PORTS;
bool RunOptions::LIST_PORTS = false;

void RunOptions::reset()
{
    BACKUP = true;
    VERIFY = true;
    JSON = false;
    QUIET = false;
    REPORT = "";
    PORT = "";
    PORTS.clear();
    LIST_PORTS = false;
}
