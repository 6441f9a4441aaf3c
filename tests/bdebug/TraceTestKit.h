#ifndef TESTS_BDEBUG_TRACETESTKIT_H
#define TESTS_BDEBUG_TRACETESTKIT_H

// A fresh trace table per test, and roots that record what they are asked to print.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bdebug/BTrace.h"
#include "helm/BRootState.h"

namespace tracetest {

// Registered directly, without being entered.
class TestRoot : public BRootState {
public:
    TestRoot(const char* name, ModuleId mod, ComponentId cmp, const std::string& inst = "")
        : BRootState(name, mod, cmp, PRIO_4) { instName(inst); }
    bool isPersistent() const override { return false; }
    void printStateData(int argc, char** argv) override
    {
        std::string s;
        for (int i = 0; i < argc; ++i) s += std::string(i ? " " : "") + argv[i];
        printed.push_back(s);
    }
    std::vector<std::string> printed;
};

class TraceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        BTrace::destroy();
        BTrace::capture(&trace);
        t = BTrace::instance();
    }
    void TearDown() override
    {
        BTrace::disconnectDebugStream();
        BTrace::capture(nullptr);
        BTrace::destroy();
    }
    bool traced(const std::string& text) const { return trace.find(text) != std::string::npos; }
    const ConfigTable* entry(const std::string& name) { return t->findComponent(name); }
    DebugLevel level(const std::string& name) { return entry(name) ? entry(name)->dbgLvl : DebugLevel(0xDEAD); }

    BTrace* t = nullptr;
    std::string trace;
};

}  // namespace tracetest

#endif
