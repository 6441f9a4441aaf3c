// The parser's setting-entry event owns its texts.

#include <gtest/gtest.h>

#include <string>

#include "bdebug/BTrace.h"
#include "korprog/protparser/KvprotExtSyntax.h"

TEST(KvprotSeeEvt, OwnsCopiesOfItsTextsAndCutsGivenLengths)
{
    auto* see = new KvprotSeeEvt(7, "a\\b\\c", nullptr);
    EXPECT_STREQ(see->f2data(), "");
    std::string text = "Alarm 1";
    see->f1data(text.c_str());
    text[0] = 'X';  // the event kept its own copy
    EXPECT_STREQ(see->f1data(), "Alarm 1");
    see->f1data("a\\b\\c");
    see->convertF1('\\', '/');
    EXPECT_STREQ(see->f1data(), "a/b/c");

    see->f2data(std::string(300, 'n').c_str(), 300);
    EXPECT_EQ(std::string(see->f2data()), std::string(255, 'n'));
    see->f2data("0612345", 4);
    EXPECT_STREQ(see->f2data(), "0612");
    see->f2data("06", 10);  // stops at the text's end
    EXPECT_STREQ(see->f2data(), "06");

    std::string out;
    BTrace::capture(&out);
    see->printData(BTrace::DATA);
    BTrace::capture(nullptr);
    EXPECT_NE(out.find("seeEvt::entryNr: 7\nseeEvt::_f1data : \"a/b/c\"\nseeEvt::_f2data : \"06\"\n"),
              std::string::npos);
    see->destroy();
}
