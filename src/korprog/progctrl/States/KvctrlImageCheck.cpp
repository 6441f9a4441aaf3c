#include "korprog/progctrl/States/KvctrlImageCheck.h"

#include <cstring>
#include <string>

#include "korprog/Dialog.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Data/SettingBin.h"

namespace {
const size_t NETWORK_POS = SettingBin::NWTP_POS;
}

bool KvctrlImageCheck::allowed(RevPackDb& db, const char* binFile)
{
    if (!RevPackDb::CHECK_HARDWARE) return true;
    const char* unit = RevPackDb::actKorType();
    // A unit in its boot loader that reported no type cannot be compared.
    if (unit[0] == '\0') return true;
    char binType[RevPackDb::MAX_TXT_LEN];
    db.getEntry(binFile, RevPackDb::BIN_TYPE, binType);
    const bool ok = std::strcmp(binType, unit) == 0 || typeRowAllows(db, unit, binType);
    if (!ok) {
        Dialog::alert(" Error!!, incompatible korvan types actual:%s, in bin file:%s", unit, binType);
        return false;
    }
    const bool otherNetwork = std::strlen(unit) > NETWORK_POS && std::strlen(binType) > NETWORK_POS &&
                              unit[NETWORK_POS] != binType[NETWORK_POS];
    db.autoProgAdnFile(otherNetwork);
    return true;
}

bool KvctrlImageCheck::typeRowAllows(RevPackDb& db, const char* unitType, const char* binType)
{
    const int rows = db.nrEntries(RevPackDb::HWSWLIST);
    for (int r = 1; r <= rows; ++r) {
        char value[RevPackDb::MAX_TXT_LEN];
        db.getEntry(RevPackDb::HWSWLIST, std::to_string(r).c_str(), value);
        const std::string row = value;
        const size_t semi = row.find(';');
        if (row.find("KV") == std::string::npos || semi == std::string::npos) continue;
        const std::string from = row.substr(0, semi), to = row.substr(semi + 1);
        const size_t n = std::strlen(binType);
        if (n < 3 || std::strlen(unitType) != n || from.size() < n || to.size() < n) continue;
        bool holds = true;
        for (size_t i = 2; i < n && holds; ++i)
            holds = from[i] == '-' ? unitType[i] == binType[i] : unitType[i] == from[i] && binType[i] == to[i];
        if (holds) return true;
    }
    return false;
}
