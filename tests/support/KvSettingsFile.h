#ifndef TESTS_SUPPORT_KVSETTINGSFILE_H
#define TESTS_SUPPORT_KVSETTINGSFILE_H

// A settings file of 200 lines as a unit holds them: entry 10 the
// simulator's type, 20 no special build, 80, 115 and 116 without a
// number; every other entry `word` and its number.

#include <string>

inline std::string settingsFile(const std::string& word)
{
    std::string f;
    for (int k = 1; k <= 200; ++k) {
        const std::string t = k == 10 ? "KV8888GM-ED" : k == 20 ? "     " : word + std::to_string(k);
        f += t + "|" + (k == 80 || k == 115 || k == 116 ? "" : std::to_string(5550000 + k)) + "\n";
    }
    return f;
}

#endif
