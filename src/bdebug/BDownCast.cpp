#include "bdebug/BDownCast.h"

#include <string>

#include "bdebug/BTrace.h"

void BDownCast::report(const char* file, int line, const char* typeName, const char* srcName)
{
    BTrace::instance()->writeDebugStream(std::string(file ? file : "") + " " + std::to_string(line) + "\n" +
                                         "Downcast failed: cannot cast " + (srcName ? srcName : "") + " to type " +
                                         (typeName ? typeName : "") + "\n");
}
