#include "korvansim/KsimSettings.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

std::string replaced(std::string s, char from, char to)
{
    std::replace(s.begin(), s.end(), from, to);
    return s;
}

} // namespace

const KsimSettings::Entry& KsimSettings::entry(int nr) const
{
    static const Entry empty;
    return nr >= 1 && nr <= Kvprg::NR_ENTRIES ? _entries[nr] : empty;
}

bool KsimSettings::set(int nr, const std::string& text, const std::string& number)
{
    if (nr < 1 || nr > Kvprg::NR_ENTRIES) return false;
    _entries[nr].text = text.substr(0, Kvprg::ENTRY_TEXT_MAX);
    _entries[nr].number = number.substr(0, Kvprg::ENTRY_NUMBER_MAX);
    return true;
}

bool KsimSettings::load(const std::string& path, std::string* error)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    Entry loaded[Kvprg::NR_ENTRIES + 1];
    int nr = 1;
    std::string line;
    int c;
    bool more = true;
    while (more && nr <= Kvprg::NR_ENTRIES) {
        line.clear();
        while ((c = std::fgetc(f)) != EOF && c != '\n')
            if (c != '\r' && line.size() < 256) line += static_cast<char>(c);
        more = c != EOF;
        if (!more && line.empty()) break;
        // The file holds the program's form; the unit keeps '/' for '\'.
        size_t bar = line.find('|');
        std::string text = line.substr(0, bar);
        std::string number = bar == std::string::npos ? std::string() : line.substr(bar + 1);
        loaded[nr].text = replaced(text, '\\', '/').substr(0, Kvprg::ENTRY_TEXT_MAX);
        loaded[nr].number = number.substr(0, Kvprg::ENTRY_NUMBER_MAX);
        ++nr;
    }
    bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (readError) {
        *error = path + ": read error";
        return false;
    }
    for (int i = 1; i <= Kvprg::NR_ENTRIES; ++i) _entries[i] = loaded[i];
    return true;
}

bool KsimSettings::save(const std::string& path, std::string* error) const
{
    // Written beside the target and renamed over it, so a reader never sees
    // half a file.
    std::string tmp = path + ".tmp";
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) {
        *error = tmp + ": " + std::strerror(errno);
        return false;
    }
    bool ok = true;
    for (int i = 1; i <= Kvprg::NR_ENTRIES && ok; ++i) {
        std::string line = replaced(_entries[i].text, '/', '\\') + "|" + _entries[i].number + "\n";
        ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
    }
    if (std::fclose(f) != 0) ok = false;
    if (ok && std::rename(tmp.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) {
        *error = path + ": " + std::strerror(errno);
        std::remove(tmp.c_str());
    }
    return ok;
}
