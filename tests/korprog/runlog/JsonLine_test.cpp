// JSON lines read back with an independent parser: whatever bytes a value
// holds, the line parses and gives the value back.

#include "korprog/runlog/JsonLine.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <string>

TEST(JsonLine, MembersKeepTheirOrderAndTypesInOneLine)
{
    JsonLine inner;
    inner.num("n", -5);
    const std::string text = JsonLine()
                                 .num("big", 1234567890123LL)
                                 .real("duration_s", 12.345)
                                 .real("bad", std::nan(""))
                                 .flag("ok", false)
                                 .strOrNull("empty", "")
                                 .strings("inputs", {"a.adn", "b\"c"})
                                 .objects("differences", {inner, inner})
                                 .object("before", inner)
                                 .members(JsonLine().null("last"))
                                 .line();
    EXPECT_EQ(text.size() - 1, text.find('\n')) << "one line";
    const nlohmann::ordered_json j = nlohmann::ordered_json::parse(text);
    EXPECT_EQ("{\"big\":1234567890123,\"duration_s\":12.345,\"bad\":null,\"ok\":false,\"empty\":null,"
              "\"inputs\":[\"a.adn\",\"b\\\"c\"],\"differences\":[{\"n\":-5},{\"n\":-5}],\"before\":{\"n\":-5},"
              "\"last\":null}",
              j.dump());
}

TEST(JsonLine, AnyBytesGiveValidJsonAndInvalidUtf8ReadsAsItsBytes)
{
    struct Case {
        std::string bytes;
        std::string reads; // the parsed value, UTF-8
    } cases[] = {
        {"quote\" back\\slash /", "quote\" back\\slash /"},
        {std::string("nul\0,\x01\n\t\x1f\x7f", 10), std::string("nul\0,\x01\n\t\x1f\x7f", 10)},
        {"Keuk\xC3\xA9n \xE2\x82\xAC \xF0\x9F\x98\x80", "Keuk\xC3\xA9n \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"Keuk\xE9n", "Keuk\xC3\xA9n"},       // Latin-1 from an old file
        {"\x80\xBF", "\xC2\x80\xC2\xBF"},     // stray continuation bytes
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},     // overlong '/'
        {"\xE0\x80\xAF", "\xC3\xA0\xC2\x80\xC2\xAF"}, // overlong, three bytes
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"}, // a surrogate
        {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"}, // beyond U+10FFFF
        {"\xF5", "\xC3\xB5"},
        {"cut \xE2\x82", "cut \xC3\xA2\xC2\x82"}, // a sequence cut short at the end
        {"\xC3(", "\xC3\x83("},
    };
    for (const Case& c : cases) {
        const std::string line = JsonLine().str("v", c.bytes).line();
        nlohmann::json j;
        ASSERT_NO_THROW(j = nlohmann::json::parse(line)) << line;
        EXPECT_EQ(c.reads, j["v"].get<std::string>()) << line;
    }
    EXPECT_EQ("\"\\u0001\\u00e9\\\\\"", JsonLine::quote("\x01\xE9\\"));
}

TEST(JsonLine, NumbersAndTimesInTheirOneForm)
{
    EXPECT_EQ("0.1", JsonLine::number(0.1));
    EXPECT_EQ("2.5", JsonLine::number(2.5));
    EXPECT_EQ("3", JsonLine::number(3.0));
    EXPECT_EQ("null", JsonLine::number(INFINITY));
    EXPECT_EQ("2026-12-08T23:14:05.123Z", JsonLine::isoTime(1796771645123LL));
    EXPECT_EQ("2024-02-29T12:00:00.007Z", JsonLine::isoTime(1709208000007LL));
    EXPECT_EQ("1969-12-31T23:59:59.999Z", JsonLine::isoTime(-1));
}
