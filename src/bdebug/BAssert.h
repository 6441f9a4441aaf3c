#ifndef BDEBUG_BASSERT_H
#define BDEBUG_BASSERT_H

// Non-fatal reports used throughout the program. Execution always continues.
//   B_ASSERT(cond, parts)   assertion report when cond is false
//   B_FAIL(parts)           assertion report unconditionally ("Assertion failed: 0 ...")
//   B_ERROR(parts)          error report ("Exception: ...") to debug stream and log
// `parts` is a stream expression: B_ASSERT(x, "sig=" << int(sig)).

#include <sstream>

#include "bdebug/BTrace.h"

#define B_ASSERT(cond, parts)                                                   \
    do {                                                                        \
        if (!(cond)) {                                                          \
            std::ostringstream b_assert_msg_;                                   \
            b_assert_msg_ << parts;                                             \
            BTrace::assertReport(__FILE__, __LINE__, #cond, b_assert_msg_.str()); \
        }                                                                       \
    } while (0)

#define B_FAIL(parts) B_ASSERT(0, parts)

#define B_ERROR(parts)                                                          \
    do {                                                                        \
        std::ostringstream b_error_msg_;                                        \
        b_error_msg_ << parts;                                                  \
        BTrace::errorReport(__FILE__, __LINE__, b_error_msg_.str());            \
    } while (0)

#define B_NOT_IMPLEMENTED() B_FAIL("not implemented yet")

#endif
