#include "korprog/StringUtils.h"

#include <gtest/gtest.h>

using S = StringUtils;
using V = std::vector<std::string>;

TEST(StringUtils, Explode)
{
    EXPECT_EQ(S::explode("a;;b;", ";", false), (V{"a", "b"}));
    EXPECT_EQ(S::explode("a;;b;", ";", true), (V{"a", "", "b", ""}));
    EXPECT_EQ(S::explode("", ";", false), V{});
    EXPECT_EQ(S::explode("", ";", true), V{""});
    EXPECT_EQ(S::explode("x<>y<>z", "<>", false), (V{"x", "y", "z"}));
    EXPECT_EQ(S::explode("abc", "", false), V{"abc"});  // must not loop forever
}

TEST(StringUtils, TextFilters)
{
    EXPECT_EQ(S::stripChar('~', "~a~b~"), "ab");
    EXPECT_EQ(S::stripWhiteSpace(" a\tb\r\nc "), "abc");
    EXPECT_EQ(S::stripNoneAlphaNumChars("a-1 b_2"), "a1b2");
    EXPECT_EQ(S::replaceChar('\\', "a\\b\\", "//"), "a//b//");
    // À Æ Ç × Þ ß æ ÷ ÿ ¢ µ, then ASCII
    EXPECT_EQ(S::textToId("\xC0\xC6\xC7\xD7\xDE\xDF\xE6\xF7\xFF\xA2\xB5" "Ab9 -"), "AACOpsx_ycuAb9__");
    EXPECT_EQ(S::textToLowerCaseId("\xC9t\xDD"), "ety");
    EXPECT_EQ(S::htmlCharacter("<a=\"x\">&'"), "&lt;a=&quot;x&quot;&gt;&amp;&apos;");
}

TEST(StringUtils, NumbersAndHash)
{
    EXPECT_EQ(S::stringToInt("-12"), 12);
    EXPECT_EQ(S::stringToInt("abc"), -1);
    EXPECT_EQ(S::stringToInt("99999999999999999999"), 2147483647);
    EXPECT_EQ(S::stringToUint16("65537"), 1);
    EXPECT_EQ(S::stringToUint32("ff", true), 255u);
    EXPECT_EQ(S::stringToUint32("4294967296", false), 0u);  // does not fit: refused, not wrapped
    EXPECT_EQ(S::floatToString(3.0f), "3");
    EXPECT_EQ(S::floatToString(2.5f), "2.500000");
    EXPECT_EQ(S::hash("abc"), 193485963u);
    EXPECT_EQ(S::hash("\xFF"), 5381u * 33u - 1u);  // bytes count as signed
}

TEST(StringUtils, Base64RoundTrips)
{
    const std::pair<std::string, const char*> cases[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {std::string("\0\xFF\x80", 3), "AP+A"}};
    for (const auto& c : cases) {
        const std::string e = S::base64_encode(reinterpret_cast<const uint8_t*>(c.first.data()),
                                               static_cast<uint32_t>(c.first.size()));
        EXPECT_EQ(e, c.second);
        EXPECT_EQ(S::base64_decode(e), c.first);
    }
    EXPECT_EQ(S::base64_decode("Zm9vY"), "foo");  // partial group: complete bytes only
    EXPECT_EQ(S::base64_decode("Zm9v*YmFy"), "foo");
}
