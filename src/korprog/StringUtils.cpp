#include "korprog/StringUtils.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "bdebug/BAssert.h"
#include "bdebug/BTrace.h"

namespace {

const char BASE64_ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Accumulates a run of decimal digits, stopping at `limit` so that long
// digit runs cannot overflow.
unsigned long long digitsValue(const std::string& digits, unsigned long long limit)
{
    unsigned long long v = 0;
    for (char c : digits) {
        v = v * 10 + static_cast<unsigned>(c - '0');
        if (v >= limit) return limit;
    }
    return v;
}

// The Latin-1 letter table of textToId: index = byte, value = replacement.
struct IdTable {
    char map[256];
    IdTable()
    {
        for (int i = 0; i < 256; ++i) {
            const bool ascii = (i >= '0' && i <= '9') || (i >= 'A' && i <= 'Z') || (i >= 'a' && i <= 'z');
            map[i] = ascii ? static_cast<char>(i) : '_';
        }
        // Upper-case letters 0xC0..0xDF, then lower case 0xE0..0xFF.
        const char* upper = "AAAAAAACEEEEIIIIDNOOOOOOOUUUUYps";
        const char* lower = "aaaaaaxceeeeiiiionooooo_ouuuuypy";
        for (int i = 0; i < 32; ++i) {
            map[0xC0 + i] = upper[i];
            map[0xE0 + i] = lower[i];
        }
        map[0xA2] = 'c';  // cent sign
        map[0xB5] = 'u';  // micro sign
    }
};

const IdTable& idTable()
{
    static const IdTable table;
    return table;
}

}  // namespace

std::vector<std::string> StringUtils::explode(std::string s, std::string delimiter, bool includeEmpty)
{
    std::vector<std::string> out;
    if (!delimiter.empty()) {
        std::string::size_type p;
        while ((p = s.find(delimiter)) != std::string::npos) {
            if (p > 0)
                out.push_back(s.substr(0, p));
            else if (includeEmpty)
                out.emplace_back();
            s.erase(0, p + delimiter.size());
        }
    }
    if (!s.empty() || includeEmpty) out.push_back(s);
    return out;
}

std::string StringUtils::stripChar(char c, std::string str)
{
    std::string out;
    for (char ch : str)
        if (ch != c) out += ch;
    return out;
}

std::string StringUtils::stripChars(std::string chars, std::string str)
{
    std::string out;
    for (char ch : str)
        if (chars.find(ch) == std::string::npos) out += ch;
    return out;
}

std::string StringUtils::stripWhiteSpace(std::string str) { return stripChars(" \t\r\n", str); }

std::string StringUtils::stripNoneNumChars(std::string str)
{
    std::string out;
    for (char ch : str)
        if (ch >= '0' && ch <= '9') out += ch;
    return out;
}

std::string StringUtils::stripNoneAlphaNumChars(std::string str)
{
    std::string out;
    for (char ch : str)
        if (std::isalnum(static_cast<unsigned char>(ch))) out += ch;
    return out;
}

std::string StringUtils::convertToNum(std::string str) { return stripNoneNumChars(str); }

std::string StringUtils::replaceChar(char c, std::string str, std::string replace)
{
    std::string out;
    for (char ch : str) {
        if (ch == c)
            out += replace;
        else
            out += ch;
    }
    return out;
}

std::string StringUtils::convertCase(std::string str, bool toUpper)
{
    for (char& ch : str) {
        const unsigned char u = static_cast<unsigned char>(ch);
        ch = static_cast<char>(toUpper ? std::toupper(u) : std::tolower(u));
    }
    return str;
}

int StringUtils::stringToInt(std::string str)
{
    const std::string digits = stripNoneNumChars(str);
    if (digits.empty()) return -1;
    return static_cast<int>(digitsValue(digits, INT_MAX));
}

uint16_t StringUtils::stringToUint16(std::string str)
{
    const std::string digits = stripNoneNumChars(str);
    if (digits.empty()) return 0;
    return static_cast<uint16_t>(digitsValue(digits, UINT_MAX) & 0xFFFF);
}

uint32_t StringUtils::stringToUint32(std::string str, bool isHex)
{
    std::istringstream in(str);
    uint32_t value = 0;
    if (isHex)
        in >> std::hex >> value;
    else
        in >> std::dec >> value;
    if (in.fail()) {
        B_ERROR("stringToUint32: \"" << str << "\" is not a number");
        return 0;
    }
    return value;
}

std::string StringUtils::intToString(int value) { return std::to_string(value); }

std::string StringUtils::uint32ToString(uint32_t value) { return std::to_string(value); }

std::string StringUtils::floatToString(float f)
{
    const char* format = (f != std::floor(f)) ? "%f" : "%.f";
    const int n = std::snprintf(nullptr, 0, format, static_cast<double>(f));
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(&out[0], out.size(), format, static_cast<double>(f));
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string StringUtils::textToId(std::string str)
{
    const IdTable& t = idTable();
    for (char& ch : str) ch = t.map[static_cast<unsigned char>(ch)];
    return str;
}

std::string StringUtils::textToLowerCaseId(std::string str)
{
    std::string out = textToId(str);
    for (char& ch : out) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return out;
}

std::string StringUtils::htmlCharacter(std::string str)
{
    std::string out;
    for (char ch : str) {
        switch (ch) {
        case '"': out += "&quot;"; break;
        case '&': out += "&amp;"; break;
        case '\'': out += "&apos;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out += ch;
        }
    }
    return out;
}

uint32_t StringUtils::hash(const char* str)
{
    uint32_t h = 5381;
    if (!str) return h;
    for (; *str; ++str) h = h * 33u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(*str)));
    return h;
}

std::string StringUtils::base64_encode(const uint8_t* bytes, uint32_t len)
{
    std::string out;
    if (!bytes) return out;
    out.reserve((static_cast<size_t>(len) + 2) / 3 * 4);
    uint32_t i = 0;
    for (; i + 2 < len; i += 3) {
        const uint32_t v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
        out += BASE64_ALPHABET[(v >> 18) & 0x3F];
        out += BASE64_ALPHABET[(v >> 12) & 0x3F];
        out += BASE64_ALPHABET[(v >> 6) & 0x3F];
        out += BASE64_ALPHABET[v & 0x3F];
    }
    const uint32_t rest = len - i;
    if (rest > 0) {
        uint32_t v = bytes[i] << 16;
        if (rest == 2) v |= bytes[i + 1] << 8;
        out += BASE64_ALPHABET[(v >> 18) & 0x3F];
        out += BASE64_ALPHABET[(v >> 12) & 0x3F];
        out += rest == 2 ? BASE64_ALPHABET[(v >> 6) & 0x3F] : '=';
        out += '=';
    }
    return out;
}

std::string StringUtils::base64_decode(std::string encoded)
{
    std::string out;
    uint32_t acc = 0;
    int bits = 0;
    for (char ch : encoded) {
        if (ch == '=') break;
        const char* p = ch ? std::strchr(BASE64_ALPHABET, ch) : nullptr;
        if (!p) break;
        acc = (acc << 6) | static_cast<uint32_t>(p - BASE64_ALPHABET);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((acc >> bits) & 0xFF);
        }
    }
    return out;
}

void StringUtils::printStringWithRawData(std::string str)
{
    std::string line = "[";
    char hex[8];
    for (char ch : str) {
        const unsigned char u = static_cast<unsigned char>(ch);
        if (u >= 0x20 && u <= 0x7E) {
            line += ch;
        } else {
            std::snprintf(hex, sizeof hex, "~%02x~", u);
            line += hex;
        }
    }
    line += "]";
    BTrace::instance()->dbgPrint(line, false, true);
}

bool StringUtils::cutColumn(char* field, size_t size, const char** line, char separator)
{
    const char* p = *line;
    size_t n = 0;
    bool fits = true;
    for (; *p != '\0' && *p != separator; ++p) {
        if (n + 1 < size) field[n++] = *p;
        else fits = false;
    }
    if (size > 0) field[n] = '\0';
    if (*p == separator) ++p;
    *line = p;
    return fits;
}

std::string StringUtils::fileNameSafe(std::string str)
{
    for (char& c : str)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.') c = '_';
    return str;
}
