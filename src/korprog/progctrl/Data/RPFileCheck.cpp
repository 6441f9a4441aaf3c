#include "korprog/progctrl/Data/RPFileCheck.h"

#include <cstring>
#include <map>
#include <utility>
#include <vector>

namespace {

// Nothing legitimate comes near this: a pack holds at most 50 images of
// 100 KiB, written as hex.
const size_t MAX_FILE = 64u * 1024 * 1024;
const int HEADER_LINES = 3;

bool fail(std::string* why, const std::string& text)
{
    if (why) *why = text;
    return false;
}

bool isOctal(char c) { return c >= '0' && c <= '7'; }

typedef std::vector<std::pair<std::string, std::string>> Entries;

}  // namespace

bool RPFileCheck::escapesOk(const std::string& value)
{
    const size_t n = value.size();
    for (size_t i = 0; i < n; ++i) {
        if (value[i] != '\\') continue;
        if (i + 1 >= n) return false;
        const char c = value[i + 1];
        if (c == '\\' || c == 'n' || c == 'r') {
            ++i;
        } else if (i + 3 < n && isOctal(c) && isOctal(value[i + 2]) && isOctal(value[i + 3])) {
            i += 3;
        } else {
            return false;
        }
    }
    return true;
}

bool RPFileCheck::groupNameOk(const char* name)
{
    if (!name || !*name || name[0] == '.') return false;
    const size_t len = std::strlen(name);
    return len <= MAX_GROUP_NAME && !std::strpbrk(name, "/]\r\n");
}

bool RPFileCheck::entryNameOk(const char* name)
{
    if (!name || !*name || std::strchr("[+;#", name[0])) return false;
    const size_t len = std::strlen(name);
    return len <= MAX_ENTRY_NAME && !std::strpbrk(name, ":\r\n");
}

bool RPFileCheck::wellFormed(const std::string& bytes, std::string* why)
{
    if (bytes.size() > MAX_FILE) return fail(why, "file too large");
    if (bytes.find('\0') != std::string::npos) return fail(why, "NUL byte");

    // The reader's view of the file: sections by path, entries in order,
    // and the entry a continuation line extends.
    std::map<std::string, Entries> sections;
    Entries* cur = &sections["."];
    int lastSet = -1;
    bool sectionHasEntry = false;

    size_t pos = 0;
    for (int lineNr = 1; pos < bytes.size(); ++lineNr) {
        size_t eol = bytes.find('\n', pos);
        if (eol == std::string::npos) eol = bytes.size();
        if (eol - pos > MAX_LINE) return fail(why, "line " + std::to_string(lineNr) + " too long");
        std::string line = bytes.substr(pos, eol - pos);
        pos = eol + 1;
        if (lineNr <= HEADER_LINES) continue;

        // The reader ends a line at the first CR as well.
        const size_t cr = line.find('\r');
        if (cr != std::string::npos) line.erase(cr);
        if (line.empty()) continue;

        const std::string where = "line " + std::to_string(lineNr);
        if (line[0] == '[') {
            const size_t close = line.find(']');
            const std::string path = line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
            if (path != "." && (path.compare(0, 2, "./") != 0 || !groupNameOk(path.c_str() + 2)))
                return fail(why, where + ": bad section \"" + path + "\"");
            cur = &sections[path];
            sectionHasEntry = false;
        } else if (line[0] == '+') {
            if (!sectionHasEntry) return fail(why, where + ": continuation without entry");
            if (lastSet >= 0 && lastSet < static_cast<int>(cur->size()))
                (*cur)[lastSet].second += line.substr(1);
        } else {
            const size_t colon = line.find(':');
            if (colon == std::string::npos || line[0] == ';' || line[0] == '#')
                return fail(why, where + ": not an entry");
            const std::string key = line.substr(0, colon < MAX_ENTRY_NAME ? colon : MAX_ENTRY_NAME);
            const std::string value = line.substr(colon + 1);
            int ix = -1;
            for (size_t k = 0; k < cur->size(); ++k)
                if ((*cur)[k].first == key) ix = static_cast<int>(k);
            if (ix < 0) {
                cur->emplace_back(key, value);
                ix = static_cast<int>(cur->size()) - 1;
            } else {
                (*cur)[ix].second = value;
            }
            lastSet = ix;
            sectionHasEntry = true;
        }
    }

    for (const auto& section : sections)
        for (const auto& entry : section.second)
            if (!escapesOk(entry.second))
                return fail(why, "bad escape in [" + section.first + "] " + entry.first);
    return true;
}
