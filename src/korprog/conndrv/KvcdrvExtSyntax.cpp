#include "korprog/conndrv/KvcdrvExtSyntax.h"

#include <cstdio>
#include <cstring>

#include "bdebug/BTrace.h"

void CdrvPortSetEvt::printData(uint16_t level) const
{
    if (!(level & BTrace::DATA)) return;
    BTrace* t = BTrace::instance();
    t->dbgPrint(__PRETTY_FUNCTION__, true, true);
    t->dbgPrint(std::string("comPort=\"") + (_comPort ? _comPort : "") + "\"");
}

CdrvStrEvt::CdrvStrEvt() : BBindingEvent(CDRV_STRING, true), nrBytes(0)
{
    std::memset(data, 0, sizeof data);
}

bool CdrvStrEvt::set(const uint8_t* bytes, int count)
{
    nrBytes = 0;
    if (count < 0 || count > Kvcdrv::MAXDATA || (count > 0 && !bytes)) return false;
    if (count > 0) std::memcpy(data, bytes, static_cast<size_t>(count));
    nrBytes = static_cast<uint16_t>(count);
    return true;
}

std::string CdrvStrEvt::dataLine() const
{
    std::string line = "data=\"";
    const int n = validBytes();
    for (int i = 0; i < n && static_cast<int>(line.size()) < Kvcdrv::PRINT_MAX; ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        if (c < 0x20) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "~%02x~", c);
            line += hex;
        } else {
            line += static_cast<char>(c);
        }
    }
    line += '"';
    if (static_cast<int>(line.size()) > Kvcdrv::PRINT_MAX) line.resize(Kvcdrv::PRINT_MAX);
    return line;
}

void CdrvStrEvt::printData(uint16_t level) const
{
    if (!(level & BTrace::DATA)) return;
    BTrace* t = BTrace::instance();
    t->dbgPrint(__PRETTY_FUNCTION__, true, true);
    t->dbgPrint("nrBytes=" + std::to_string(nrBytes));
    t->dbgPrint(dataLine());
}

void CdrvErrorEvt::printData(uint16_t level) const
{
    if (!(level & BTrace::DATA)) return;
    BTrace* t = BTrace::instance();
    t->dbgPrint(__PRETTY_FUNCTION__, true, true);
    t->dbgPrint("error=" + std::to_string(int(_error)) + " portFault=" + std::to_string(int(_portFault)));
}
