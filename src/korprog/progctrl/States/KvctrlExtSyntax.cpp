#include "korprog/progctrl/States/KvctrlExtSyntax.h"

#include <cstring>

#include "bdebug/BTrace.h"

KvctrlStiEvt::KvctrlStiEvt() : BBindingEvent(CTRL_STATUS_INFO, true), prVer(0), extraStat(0), totalNrEntries(0)
{
    type[0] = softw[0] = special[0] = hardw[0] = imei[0] = '\0';
}

bool KvctrlStiEvt::setText(char (&field)[STRSIZE + 1], const std::string& text)
{
    const size_t n = text.size() < size_t(STRSIZE) ? text.size() : size_t(STRSIZE);
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
    return n == text.size();
}

void KvctrlStiEvt::printData(DebugLevel level) const
{
    if (!(level & BTrace::DATA)) return;
    std::string t = __PRETTY_FUNCTION__;
    t += "\nstiEvt::prVer    : " + std::to_string(prVer);
    t += "\nstiEvt::extraStat: " + std::to_string(extraStat);
    t += "\nstiEvt::nrEntries: " + std::to_string(totalNrEntries);
    t += std::string("\nstiEvt::type     : ") + type;
    t += std::string("\nstiEvt::softw    : ") + softw;
    t += std::string("\nstiEvt::special  : ") + special;
    t += std::string("\nstiEvt::hardw    : ") + hardw;
    t += std::string("\nstiEvt::imei      : ") + imei;
    BTrace::instance()->dbgPrint(t, true, true);
}

KvctrlBootInf::KvctrlBootInf() : BBindingEvent(CTRL_BOOT_INFO, true)
{
    type[0] = special[0] = hardw[0] = '\0';
}

void KvctrlBootInf::printData(DebugLevel level) const
{
    if (!(level & BTrace::DATA)) return;
    BTrace* t = BTrace::instance();
    t->dbgPrint(__PRETTY_FUNCTION__, true, true);
    t->dbgPrint(std::string("type   : ") + type);
    t->dbgPrint(std::string("special: ") + special);
    t->dbgPrint(std::string("hardw  : ") + hardw);
}

void KvctrlBtlReq::printData(DebugLevel level) const
{
    if (level & BTrace::DATA) BTrace::instance()->dbgPrint(__PRETTY_FUNCTION__, true, true);
}

void KvctrlWaitEvt::printData(DebugLevel level) const
{
    if (level & BTrace::DATA) BTrace::instance()->dbgPrint(__PRETTY_FUNCTION__, true, true);
}

void KvctrlDldEndEvt::printData(DebugLevel level) const
{
    if (level & BTrace::DATA) BTrace::instance()->dbgPrint(__PRETTY_FUNCTION__, true, true);
}
