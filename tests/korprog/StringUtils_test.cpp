#include "korprog/StringUtils.h"

#include <gtest/gtest.h>

#include "bdebug/BTrace.h"

using V = std::vector<std::string>;

TEST(StringUtils, Explode)
{
    EXPECT_EQ(StringUtils::explode("a;;b;", ";", false), (V{"a", "b"}));
    EXPECT_EQ(StringUtils::explode("a;;b;", ";", true), (V{"a", "", "b", ""}));
    EXPECT_EQ(StringUtils::explode("", ";", false), V{});
    EXPECT_EQ(StringUtils::explode("", ";", true), V{""});
    EXPECT_EQ(StringUtils::explode("x<>y<>z", "<>", false), (V{"x", "y", "z"}));
    EXPECT_EQ(StringUtils::explode("abc", "", false), V{"abc"});  // must not loop forever
}

TEST(StringUtils, StripAndReplace)
{
    EXPECT_EQ(StringUtils::stripChar('~', "~a~b~"), "ab");
    EXPECT_EQ(StringUtils::stripWhiteSpace(" a\tb\r\nc "), "abc");
    EXPECT_EQ(StringUtils::stripNoneAlphaNumChars("a-1 b_2"), "a1b2");
    EXPECT_EQ(StringUtils::replaceChar('\\', "a\\b\\", "//"), "a//b//");
    EXPECT_EQ(StringUtils::convertCase("Kv8a", true), "KV8A");
}

TEST(StringUtils, NumberConversions)
{
    EXPECT_EQ(StringUtils::stringToInt("-12"), 12);
    EXPECT_EQ(StringUtils::stringToInt("abc"), -1);
    EXPECT_EQ(StringUtils::stringToInt("99999999999999999999"), 2147483647);
    EXPECT_EQ(StringUtils::stringToUint16("65537"), 1);
    EXPECT_EQ(StringUtils::stringToUint32("ff", true), 255u);

    std::string trace;
    BTrace::capture(&trace);
    EXPECT_EQ(StringUtils::stringToUint32("zz", false), 0u);
    EXPECT_EQ(StringUtils::stringToUint32("4294967296", false), 0u);
    BTrace::capture(nullptr);
    EXPECT_NE(trace.find("Exception"), std::string::npos) << trace;

    EXPECT_EQ(StringUtils::floatToString(3.0f), "3");
    EXPECT_EQ(StringUtils::floatToString(2.5f), "2.500000");
}

TEST(StringUtils, IdentifiersAndHash)
{
    // À Æ Ç × Þ ß æ ÷ ÿ ¢ µ, then ASCII
    EXPECT_EQ(StringUtils::textToId("\xC0\xC6\xC7\xD7\xDE\xDF\xE6\xF7\xFF\xA2\xB5" "Ab9 -"), "AACOpsx_ycuAb9__");
    EXPECT_EQ(StringUtils::textToLowerCaseId("\xC9t\xDD"), "ety");
    EXPECT_EQ(StringUtils::htmlCharacter("<a=\"x\">&'"), "&lt;a=&quot;x&quot;&gt;&amp;&apos;");
    EXPECT_EQ(StringUtils::hash("abc"), 193485963u);
    EXPECT_EQ(StringUtils::hash("\xFF"), 5381u * 33u - 1u);  // bytes count as signed
}

TEST(StringUtils, Base64)
{
    const std::string samples[] = {"", "f", "fo", "foo", "foob", std::string("\0\xFF\x80", 3)};
    const char* encoded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "AP+A"};
    for (size_t i = 0; i < 6; ++i) {
        const std::string& s = samples[i];
        const std::string e = StringUtils::base64_encode(reinterpret_cast<const uint8_t*>(s.data()),
                                                         static_cast<uint32_t>(s.size()));
        EXPECT_EQ(e, encoded[i]);
        EXPECT_EQ(StringUtils::base64_decode(e), s);
    }
    EXPECT_EQ(StringUtils::base64_decode("Zm9vY"), "foo");  // partial group: complete bytes only
    EXPECT_EQ(StringUtils::base64_decode("Zm9v*YmFy"), "foo");
}
