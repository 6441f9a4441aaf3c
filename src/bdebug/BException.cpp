#include "bdebug/BException.h"

#include "bdebug/BTrace.h"

bool BException::_ignoreReset = true;
BException::ExceptionCb BException::_exceptionCb = nullptr;

void BException::exception(ExceptionType, const std::string& text)
{
    BTrace::instance()->dbgPrint(text, true, true);
    if (_exceptionCb) _exceptionCb(text);
}

bool BException::registerExceptionCb(ExceptionCb cb)
{
    if (_exceptionCb || !cb) return false;
    _exceptionCb = cb;
    return true;
}
