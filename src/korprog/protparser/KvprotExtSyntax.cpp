#include "korprog/protparser/KvprotExtSyntax.h"

#include <cstring>
#include <string>

#include "bdebug/BTrace.h"

namespace {

void printName(uint16_t level, const char* name, const std::string& field = std::string())
{
    if (level & BTrace::DATA) BTrace::instance()->dbgPrint(name + field, true, true);
}

// Copies at most `max` of `count` bytes into dst; the number copied.
int copyBounded(void* dst, int max, const uint8_t* bytes, int count)
{
    const int n = !bytes || count < 0 ? 0 : (count < max ? count : max);
    if (n > 0) std::memcpy(dst, bytes, static_cast<size_t>(n));
    return n;
}

}  // namespace

void KvprotAckEvt::printData(uint16_t level) const { printName(level, __PRETTY_FUNCTION__); }

void KvprotUplEndEvt::printData(uint16_t level) const { printName(level, __PRETTY_FUNCTION__); }

void KvprotDlrEvt::printData(uint16_t level) const { printName(level, __PRETTY_FUNCTION__); }

void KvprotNakEvt::printData(uint16_t level) const { printName(level, __PRETTY_FUNCTION__); }

void KvprotSrqEvt::printData(uint16_t level) const { printName(level, __PRETTY_FUNCTION__); }

void KvprotUprEvt::printData(uint16_t level) const { printName(level, __PRETTY_FUNCTION__); }

void KvprotUpgradeReq::printData(uint16_t level) const { printName(level, __PRETTY_FUNCTION__); }

void KvprotChecksum::printData(uint16_t level) const
{
    printName(level, __PRETTY_FUNCTION__, " checksum=" + std::to_string(_checkSum));
}

void KvprotPacknr::printData(uint16_t level) const
{
    printName(level, __PRETTY_FUNCTION__, " nr=" + std::to_string(_nr));
}

void KvprotPacknr1cmpl::printData(uint16_t level) const
{
    printName(level, __PRETTY_FUNCTION__, " nr=" + std::to_string(_nr));
}

KvprotUpgrData::KvprotUpgrData() : BBindingEvent(KVPROT_UPGR_DATA, true), _nrBytes(0)
{
    std::memset(_data, 0, sizeof _data);
}

bool KvprotUpgrData::data(const uint8_t* bytes, int count)
{
    const int n = copyBounded(_data, MAX, bytes, count);
    _nrBytes = static_cast<uint8_t>(n);
    return n == count;
}

void KvprotUpgrData::printData(uint16_t level) const
{
    printName(level, __PRETTY_FUNCTION__, " nrBytes=" + std::to_string(_nrBytes));
}

KvprotBootLoadData::KvprotBootLoadData() : BBindingEvent(KVPROT_BOOTLOAD_DATA, true), _nrBytes(0)
{
    std::memset(_data, 0, sizeof _data);
}

bool KvprotBootLoadData::data(const uint8_t* bytes, int count)
{
    const int n = copyBounded(_data, MAX, bytes, count);
    _nrBytes = static_cast<uint16_t>(n);
    return n == count;
}

void KvprotBootLoadData::printData(uint16_t level) const
{
    printName(level, __PRETTY_FUNCTION__, " nrBytes=" + std::to_string(_nrBytes));
}

KvprotSeeEvt::KvprotSeeEvt() : BBindingEvent(KVPROT_SET_ENTRY, true), _entryNr(0), _f1data(nullptr), _f2data(nullptr)
{
}

KvprotSeeEvt::KvprotSeeEvt(uint8_t entryNr, const char* f1, const char* f2) : KvprotSeeEvt()
{
    _entryNr = entryNr;
    f1data(f1);
    f2data(f2);
}

KvprotSeeEvt::~KvprotSeeEvt()
{
    delete[] _f1data;
    delete[] _f2data;
}

char* KvprotSeeEvt::copyOf(const char* text, int length)
{
    if (length < 0) length = 0;
    char* copy = new char[static_cast<size_t>(length) + 1];
    if (text && length > 0) std::memcpy(copy, text, static_cast<size_t>(length));
    copy[length] = '\0';
    return copy;
}

void KvprotSeeEvt::f1data(const char* text)
{
    char* copy = copyOf(text, text ? static_cast<int>(std::strlen(text)) : 0);
    delete[] _f1data;
    _f1data = copy;
}

void KvprotSeeEvt::f2data(const char* text)
{
    char* copy = copyOf(text, text ? static_cast<int>(std::strlen(text)) : 0);
    delete[] _f2data;
    _f2data = copy;
}

// The copy stops early at a zero byte: the text ends there anyway, and the
// caller's buffer may end there too.
int KvprotSeeEvt::boundedLength(const char* text, int length)
{
    if (!text || length <= 0) return 0;
    if (length > Kvprot::SEE_COPY_MAX) length = Kvprot::SEE_COPY_MAX;
    return static_cast<int>(strnlen(text, static_cast<size_t>(length)));
}

void KvprotSeeEvt::f1data(const char* text, int length)
{
    char* copy = copyOf(text, boundedLength(text, length));
    delete[] _f1data;
    _f1data = copy;
}

void KvprotSeeEvt::f2data(const char* text, int length)
{
    char* copy = copyOf(text, boundedLength(text, length));
    delete[] _f2data;
    _f2data = copy;
}

void KvprotSeeEvt::convertF1(char from, char to)
{
    if (!_f1data) return;
    for (char* p = _f1data; *p; ++p)
        if (*p == from) *p = to;
}

void KvprotSeeEvt::printData(uint16_t level) const
{
    if (!(level & BTrace::DATA)) return;
    BTrace* t = BTrace::instance();
    t->dbgPrint(__PRETTY_FUNCTION__, true, true);
    t->dbgPrint("seeEvt::entryNr: " + std::to_string(_entryNr));
    t->dbgPrint(std::string("seeEvt::_f1data : \"") + f1data() + "\"");
    t->dbgPrint(std::string("seeEvt::_f2data : \"") + f2data() + "\"");
}
