// A batch's values table as spreadsheets write it: quoting, line ends,
// UTF-8 or Latin-1, empty rows; and the files it refuses, naming the row.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "korprog/CsvFile.h"
#include "korprog/progctrl/Run/KvctrlValuesTable.h"

namespace {

// The rows as "number:imei:value|value".
std::vector<std::string> shown(const KvctrlValuesTable& t)
{
    std::vector<std::string> out;
    for (const KvctrlValuesTable::Row& r : t.rows()) {
        std::string s = std::to_string(r.number) + ":" + r.imei + ":";
        for (size_t k = 0; k < r.values.size(); ++k) s += (k ? "|" : "") + r.values[k];
        out.push_back(s);
    }
    return out;
}

}  // namespace

TEST(KvctrlValuesTable, ReadsWhatSpreadsheetsWriteAndRefusesWhatIsNoTableNamingTheRow)
{
    struct Case {
        std::string text;
        std::vector<std::string> rows;  // when it is taken
        std::string refused;            // when it is not: part of why
    };
    const std::vector<Case> cases = {
        {"37.text,38.number\n\"a, b\",\"say \"\"hi\"\"\"\n", {"1::a, b|say \"hi\""}, ""},
        {"37.text\r\n\"two\r\nlines\"\r\nnext\r\n", {"1::two\r\nlines", "2::next"}, ""},
        {"\xEF\xBB\xBF" "37.text\nKeuken \xC3\xA9\n", {"1::Keuken \xC3\xA9"}, ""},
        {"37.text\nKeuken \xE9\n", {"1::Keuken \xC3\xA9"}, ""},
        // Rows with nothing in them are none, but keep their numbers.
        {"37.text,38.text\n,\n\nlaatste,x", {"3::laatste|x"}, ""},
        {"\n IMEI ,Naam 1\n 35 ,Jan\n", {"1:35:Jan"}, ""},
        {"37.TEXT\nx\n", {"1::x"}, ""},

        {"37.text,38.text\na\n", {}, "row 1 has 1 fields, the header 2"},
        {"37.text\n\"abc\n", {}, "row 1 has a field whose '\"' is never closed"},
        {"37.text\nab\"c\n", {}, "row 1 has a '\"' inside a field that does not begin with one"},
        {"37.text\nok\n\"ab\"c\n", {}, "row 2 has text after the closing '\"' of a field"},
        {std::string("37.text\na\0b\n", 11), {}, "row 1 holds a NUL byte"},
        {"201.text\nx\n", {}, "column '201.text' names no entry (1 to 200)"},
        {"115.number\nx\n", {}, "column '115.number': entry 115 is never programmed"},
        {"37.text,\nx,y\n", {}, "column 2 has no name"},
        {"imei\n1\n", {}, "it has no column of values"},
        {"imei,37.text\n1,a\n1,b\n", {}, "row 2 has IMEI 1 of an earlier row"},
        {"imei,37.text\n,a\n", {}, "row 1 has no IMEI"},
        {"37.text\n\n", {}, "it has no rows below its header"},
        {"", {}, "it has no header"},
    };
    for (const Case& c : cases) {
        KvctrlValuesTable t;
        std::string why;
        const bool taken = t.parse(c.text, &why);
        EXPECT_EQ(taken, c.refused.empty()) << c.text << ": " << why;
        if (taken)
            EXPECT_EQ(shown(t), c.rows) << c.text;
        else
            EXPECT_NE(why.find(c.refused), std::string::npos) << c.text << ": " << why;
    }
}

TEST(KvctrlValuesTable, AValueIsCheckedAsTheSettingsFileChecksItsParts)
{
    const KvctrlValuesTable::Part text{37, 'T'}, number{37, 'N'};
    EXPECT_EQ(KvctrlValuesTable::valueFault(text, std::string(50, 'x')), "");
    EXPECT_EQ(KvctrlValuesTable::valueFault(text, std::string(51, 'x')), "is longer than 50 characters");
    EXPECT_EQ(KvctrlValuesTable::valueFault(number, std::string(21, '1')), "is longer than 20 characters");
    EXPECT_EQ(KvctrlValuesTable::valueFault(text, "a;b"), "holds a ';' in its text, which no setting can carry");
    EXPECT_EQ(KvctrlValuesTable::valueFault(text, "a/b"), "holds a '/' in its text, which no setting can carry");
    EXPECT_EQ(KvctrlValuesTable::valueFault(text, "a|b"), "holds a '|' in its text, which no setting can carry");
    EXPECT_EQ(KvctrlValuesTable::valueFault(number, "06\"1"), "holds a '\"', which no setting can carry");
    EXPECT_EQ(KvctrlValuesTable::valueFault(number, "06\n1"), "holds a line break");
    EXPECT_EQ(KvctrlValuesTable::valueFault(number, "0;6/1"), "");

    // Into a base file written in Latin-1.
    std::string latin1;
    EXPECT_TRUE(CsvFile::utf8ToLatin1("Keuken \xC3\xA9", &latin1));
    EXPECT_EQ(latin1, "Keuken \xE9");
    EXPECT_FALSE(CsvFile::utf8ToLatin1("\xE2\x82\xAC 5", &latin1)) << "the euro sign is no Latin-1";
}
