#ifndef KORPROG_STRINGUTILS_H
#define KORPROG_STRINGUTILS_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Text operations shared by the application. Every operation takes its text
// by value and returns a new string; the caller's text is never changed.
class StringUtils {
public:
    // The one way text goes into a fixed-size field: at most maxLen
    // characters of src (null is ""), cut to the field, always ended.
    template <size_t N>
    static void copyTo(char (&dst)[N], const char* src, size_t maxLen = N - 1)
    {
        if (maxLen > N - 1) maxLen = N - 1;
        std::snprintf(dst, N, "%.*s", static_cast<int>(maxLen), src ? src : "");
    }

    // Cuts the next `separator`-separated column of *line into field (at most
    // size - 1 characters) and moves *line past the separator. A longer
    // column is still consumed whole; the result is then false.
    static bool cutColumn(char* field, size_t size, const char** line, char separator = ';');

    // Splits s at every occurrence of delimiter. Empty pieces are kept only
    // with includeEmpty. An empty delimiter does not split.
    static std::vector<std::string> explode(std::string s, std::string delimiter, bool includeEmpty);

    static std::string stripChar(char c, std::string str);
    static std::string stripChars(std::string chars, std::string str);
    // Drops blanks, tabs, CR and LF anywhere in the text.
    static std::string stripWhiteSpace(std::string str);
    static std::string stripNoneNumChars(std::string str);
    static std::string stripNoneAlphaNumChars(std::string str);
    static std::string convertToNum(std::string str);
    static std::string replaceChar(char c, std::string str, std::string replace);
    static std::string convertCase(std::string str, bool toUpper);

    // Reads the digits of str as one decimal number (a sign is lost);
    // -1 when there is no digit. Values past INT_MAX give INT_MAX.
    static int stringToInt(std::string str);
    // As stringToInt, 0 when there is no digit; the value keeps its low 16 bits.
    static uint16_t stringToUint16(std::string str);
    // Stream extraction of a hexadecimal or decimal number; 0 and an error
    // report when the text does not read as one.
    static uint32_t stringToUint32(std::string str, bool isHex);

    static std::string intToString(int value);
    static std::string uint32ToString(uint32_t value);
    // No decimals for a whole number, "%f" otherwise.
    static std::string floatToString(float f);

    // Maps every byte to a character usable in an identifier: digits and
    // ASCII letters stay, Latin-1 letters become their base letter, the rest '_'.
    static std::string textToId(std::string str);
    // str with every character a file name should not hold (anything but
    // letters, digits, '-', '_' and '.') as '_': names made of what a unit
    // reports.
    static std::string fileNameSafe(std::string str);
    static std::string textToLowerCaseId(std::string str);
    static std::string htmlCharacter(std::string str);

    // h = h * 33 + c, from 5381, with c taken as a signed byte.
    static uint32_t hash(const char* str);

    static std::string base64_encode(const uint8_t* bytes, uint32_t len);
    // Stops at the first '=' or foreign character; a trailing partial group
    // still yields its complete bytes.
    static std::string base64_decode(std::string encoded);

    // One line of the text in the trace: printable bytes as they are, the
    // rest as ~xx~.
    static void printStringWithRawData(std::string str);
};

#endif
