#ifndef TESTS_KORPROG_PROGCTRL_DATA_DATATEST_H
#define TESTS_KORPROG_PROGCTRL_DATA_DATATEST_H

#include <gtest/gtest.h>

#include "korprog/progctrl/Data/Language.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

// A test in a directory of its own, with its dialogs recorded and no
// language table left over from an earlier test.
class DataTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.ok());
        Language::destroy();
    }
    void TearDown() override { Language::destroy(); }

    TempDir dir{"kpdata", TempDir::ENTER};
    ScriptedDialogs dialogs;
};

#endif
