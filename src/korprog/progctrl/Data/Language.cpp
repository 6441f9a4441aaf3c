#include "korprog/progctrl/Data/Language.h"

#include <cstring>
#include <string>

#include "bdebug/BAssert.h"
#include "korprog/Dialog.h"
#include "korprog/StringUtils.h"

Language* Language::_language = nullptr;
const char* const Language::_langTxt[NR_LANG] = {"NLINI", "NL", "GER", "UK", "FR", "SPA"};
const char* const Language::_file = "language.csv";
const char* const Language::_sel = "language.ini";

namespace {

// Reads one line (up to LF or end of file) into buf, keeping at most max
// characters; *overLong tells whether more were dropped. CR is skipped so
// that files edited on Windows read the same. Returns false when the file
// was already at its end.
bool readLine(FILE* fd, char* buf, size_t max, bool* overLong = nullptr)
{
    size_t n = 0;
    if (overLong) *overLong = false;
    int c = std::fgetc(fd);
    if (c == EOF) {
        buf[0] = '\0';
        return false;
    }
    for (; c != EOF && c != '\n'; c = std::fgetc(fd)) {
        if (c == '\r') continue;
        if (n < max)
            buf[n++] = static_cast<char>(c);
        else if (overLong)
            *overLong = true;
    }
    buf[n] = '\0';
    return true;
}

}  // namespace

Language::Language(LanguageId id) : _fd(nullptr), _languageId(UNDEF)
{
    std::memset(_msgId, 0, sizeof _msgId);
    std::memset(_msgStr, 0, sizeof _msgStr);
    initLanguage(id);
}

Language::~Language()
{
    if (_fd) std::fclose(_fd);
}

Language* Language::instance()
{
    if (!_language) {
        const LanguageId id = getInitLang();
        if (id != UNDEF) _language = new Language(id);
    }
    return _language;
}

void Language::destroy()
{
    delete _language;
    _language = nullptr;
}

const char* Language::gettext(const char* msgId, int msgNr)
{
    if (!msgId) return "";
    if (_languageId == UNDEF || msgNr != 0) return msgId;
    for (int n = 1; n < NR_LINES; ++n) {
        if (_msgStr[n][0] != '\0' && std::strcmp(_msgId[n], msgId) == 0) return _msgStr[n];
    }
    return msgId;
}

const char* Language::getMsgId(int nr)
{
    if (nr < 0 || nr >= NR_LINES) return "";
    return _msgId[nr];
}

void Language::initLanguage(LanguageId id)
{
    if (id == UNDEF || id >= NR_LANG) return;
    _fd = std::fopen(_file, "r");
    if (!_fd) {
        char msg[128];
        std::snprintf(msg, sizeof msg, "File \"%s\" not available.", _file);
        prtError(msg);
        _languageId = UNDEF;
        return;
    }
    _languageId = id;
    char line[LINE_LEN + 1];
    bool overLong = false;
    while (readLine(_fd, line, LINE_LEN, &overLong)) {
        // A cut row would lose its last columns without a word.
        if (overLong || !parseLine(line)) {
            prtError("Language Parse error.");
            break;
        }
    }
    std::fclose(_fd);
    _fd = nullptr;
}

bool Language::parse(char* field, int width, char** line)
{
    const char* p = *line;
    const bool fits = StringUtils::cutColumn(field, size_t(width), &p);
    *line = const_cast<char*>(p);
    return fits;
}

bool Language::parseLine(char* line)
{
    char number[6];
    char texts[NR_LANG][LINE_LEN + 1];
    char* p = line;
    if (!parse(number, sizeof number, &p)) return false;
    for (int i = 0; i < NR_LANG; ++i) {
        if (!parse(texts[i], LINE_LEN + 1, &p)) return false;
    }
    int n = 0;
    if (std::sscanf(number, "%d", &n) != 1 || n == 0) return true;  // headings
    if (n < 0 || n >= NR_LINES) return false;
    const char* translation = texts[_languageId];
    if (*translation && conversions(translation) != conversions(texts[NLINI])) {
        B_ERROR(_file << ": message " << n << " \"" << texts[NLINI] << "\": the " << _langTxt[_languageId]
                      << " text has other printf conversions; the Dutch text is shown");
        translation = texts[NLINI];
    }
    StringUtils::copyTo(_msgId[n], texts[NLINI]);
    StringUtils::copyTo(_msgStr[n], translation);
    return true;
}

std::vector<std::string> Language::conversions(const char* text)
{
    std::vector<std::string> out;
    for (const char* p = text; p && *p; ++p) {
        if (*p != '%') continue;
        if (p[1] == '%') {
            ++p;
            continue;
        }
        const char* start = p++;
        while (*p && std::strchr("-+ #0123456789.*$hlLqjzt", *p)) ++p;
        // The conversion character, or the end of a conversion cut short.
        out.emplace_back(start, static_cast<size_t>(*p ? p + 1 - start : p - start));
        if (!*p) break;
    }
    return out;
}

Language::LanguageId Language::strToId(const char* name)
{
    for (int i = 0; i < NR_LANG; ++i) {
        if (std::strcmp(name, _langTxt[i]) == 0) return static_cast<LanguageId>(i);
    }
    return UNDEF;
}

Language::LanguageId Language::getInitLang()
{
    FILE* fd = std::fopen(_sel, "r");
    if (!fd) return UNDEF;
    LanguageId id = UNDEF;
    char line[21];
    while (readLine(fd, line, sizeof line - 1)) {
        if (line[0] == '\0') break;  // an empty line ends the search
        const char* eq = std::strchr(line, '=');
        if (!eq || std::string(line, static_cast<size_t>(eq - line)) != "taal") continue;
        const char* v = eq + 1;
        while (*v == ' ' || *v == '\t') ++v;
        std::string value;
        for (; *v != '\0' && *v != ' ' && *v != '\t' && value.size() < 79; ++v) value += *v;
        if (value.empty()) continue;
        id = strToId(value.c_str());
        break;
    }
    std::fclose(fd);
    return id;
}

void Language::prtError(const char* msg)
{
    const std::string text = std::string("Error!! ") + msg + " \n" + "No Language Support. Default is NL\n";
    Dialog::alert("%s", text.c_str());
}

const char* gettext(const char* msgId, int msgNr)
{
    Language* lang = Language::instance();
    return lang ? lang->gettext(msgId, msgNr) : msgId;
}

const char* getMsgId(int msgNr)
{
    Language* lang = Language::instance();
    return lang ? lang->getMsgId(msgNr) : "";
}
