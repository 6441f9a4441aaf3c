#ifndef KORPROG_UTF8_H
#define KORPROG_UTF8_H

#include <cstddef>
#include <string>

// What counts as UTF-8, in one place: a JSON line passes such text on as it
// is, a table is read as UTF-8 when it is valid and as Latin-1 otherwise.
// Header only, so that the run log, below the common library, has it too.
class Utf8 {
public:
    // Length of the valid sequence at s[i] (1 for ASCII); 0 when the byte
    // there starts none (a stray continuation byte, an overlong form, a
    // surrogate, beyond U+10FFFF, cut short).
    static size_t sequenceAt(const std::string& s, size_t i)
    {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) return 1;
        size_t n;
        unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
        if (b >= 0xC2 && b <= 0xDF) {
            n = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            n = 3;
            if (b == 0xE0) lo = 0xA0;  // overlong
            if (b == 0xED) hi = 0x9F;  // surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            n = 4;
            if (b == 0xF0) lo = 0x90;  // overlong
            if (b == 0xF4) hi = 0x8F;  // beyond U+10FFFF
        } else {
            return 0;
        }
        if (i + n > s.size()) return 0;
        const unsigned char second = static_cast<unsigned char>(s[i + 1]);
        if (second < lo || second > hi) return 0;
        for (size_t k = 2; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
        return n;
    }

    static bool valid(const std::string& s)
    {
        for (size_t i = 0; i < s.size();) {
            const size_t n = sequenceAt(s, i);
            if (n == 0) return false;
            i += n;
        }
        return true;
    }
};

#endif
