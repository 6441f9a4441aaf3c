#include "korprog/progctrl/Data/RPFileCheck.h"

#include <cstring>
#include <unordered_map>

namespace {

const int HEADER_LINES = 3;

bool fail(std::string* why, const std::string& text)
{
    if (why) *why = text;
    return false;
}

bool isOctal(char c) { return c >= '0' && c <= '7'; }

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
    Sections sections;
    return parse(bytes, sections, why);
}

bool RPFileCheck::parse(const std::string& bytes, Sections& out, std::string* why)
{
    out.clear();
    if (bytes.size() > MAX_FILE) return fail(why, "file too large");
    if (bytes.find('\0') != std::string::npos) return fail(why, "NUL byte");

    // Sections and, per section, entries by name: each line costs the same
    // however many came before it.
    std::unordered_map<std::string, size_t> sectionIx;
    std::vector<std::unordered_map<std::string, size_t>> entryIx;
    auto section = [&](const std::string& path) {
        auto it = sectionIx.find(path);
        if (it != sectionIx.end()) return it->second;
        sectionIx.emplace(path, out.size());
        out.push_back(Section{path, {}});
        entryIx.emplace_back();
        return out.size() - 1;
    };
    size_t cur = section(".");
    // The value a continuation line extends, while the section has one.
    std::string* last = nullptr;
    size_t nrEntries = 0;

    size_t pos = 0;
    for (int lineNr = 1; pos < bytes.size(); ++lineNr) {
        size_t eol = bytes.find('\n', pos);
        if (eol == std::string::npos) eol = bytes.size();
        if (eol - pos > MAX_LINE) return fail(why, "line " + std::to_string(lineNr) + " too long");
        const size_t from = pos;
        pos = eol + 1;
        if (lineNr <= HEADER_LINES) continue;

        // The reader ends a line at the first CR as well.
        const void* cr = std::memchr(bytes.data() + from, '\r', eol - from);
        const size_t len = cr ? static_cast<size_t>(static_cast<const char*>(cr) - (bytes.data() + from)) : eol - from;
        if (len == 0) continue;
        const char* line = bytes.data() + from;

        const std::string where = "line " + std::to_string(lineNr);
        if (line[0] == '[') {
            const void* close = std::memchr(line, ']', len);
            const size_t end = close ? static_cast<size_t>(static_cast<const char*>(close) - line) : len;
            const std::string path(line + 1, end - 1);
            if (path != "." && (path.compare(0, 2, "./") != 0 || !groupNameOk(path.c_str() + 2)))
                return fail(why, where + ": bad section \"" + path + "\"");
            if (!sectionIx.count(path) && out.size() >= MAX_GROUPS)
                return fail(why, where + ": more than " + std::to_string(MAX_GROUPS) + " groups");
            cur = section(path);
            last = nullptr;
        } else if (line[0] == '+') {
            if (!last) return fail(why, where + ": continuation without entry");
            if (last->size() + len - 1 > MAX_VALUE)
                return fail(why, where + ": value longer than " + std::to_string(MAX_VALUE) + " characters");
            last->append(line + 1, len - 1);
        } else {
            const void* colonAt = std::memchr(line, ':', len);
            if (!colonAt || line[0] == ';' || line[0] == '#') return fail(why, where + ": not an entry");
            const size_t colon = static_cast<size_t>(static_cast<const char*>(colonAt) - line);
            const std::string key(line, colon < MAX_ENTRY_NAME ? colon : MAX_ENTRY_NAME);
            std::vector<std::pair<std::string, std::string>>& entries = out[cur].entries;
            auto it = entryIx[cur].find(key);
            if (it == entryIx[cur].end()) {
                if (entries.size() >= MAX_GROUP_ENTRIES)
                    return fail(why, where + ": more than " + std::to_string(MAX_GROUP_ENTRIES) + " entries in [" +
                                         out[cur].path + "]");
                if (++nrEntries > MAX_ENTRIES)
                    return fail(why, where + ": more than " + std::to_string(MAX_ENTRIES) + " entries");
                it = entryIx[cur].emplace(key, entries.size()).first;
                entries.emplace_back(key, std::string());
            }
            last = &entries[it->second].second;
            last->assign(line + colon + 1, len - colon - 1);
        }
    }

    for (const Section& s : out)
        for (const auto& entry : s.entries)
            if (!escapesOk(entry.second)) return fail(why, "bad escape in [" + s.path + "] " + entry.first);
    return true;
}
