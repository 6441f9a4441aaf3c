#ifndef KORPROG_PROGCTRL_DATA_LANGUAGE_H
#define KORPROG_PROGCTRL_DATA_LANGUAGE_H

#include <cstdio>
#include <string>
#include <vector>

// The translation table. The program's texts are Dutch; the chosen language
// (language.ini) selects a column of language.csv. Without a choice the
// program runs in Dutch and reads no table.
class Language {
public:
    enum LanguageId { NLINI = 0, NL = 1, GER = 2, UK = 3, FR = 4, SPA = 5, NR_LANG = 6, UNDEF = 7 };

    static const int LINE_LEN = 512;
    // Message numbers run from 1 to NR_LINES - 1.
    static const int NR_LINES = 1024;

    // The instance, created once a language is chosen; null while none is.
    static Language* instance();
    static void destroy();

    // The translation of the Dutch text msgId; msgId itself when there is
    // none, when no language is chosen, or when msgNr is not 0.
    const char* gettext(const char* msgId, int msgNr);
    // The Dutch text of message nr ("" outside the table).
    const char* getMsgId(int nr);

    // The printf conversions of a text, each whole ("%s", "%-5d", "%n"),
    // in order; "%%" is none. A translation whose conversions are not
    // exactly its key's is never used: as a format it would read arguments
    // that are not there, or write through them.
    static std::vector<std::string> conversions(const char* text);

    virtual ~Language();

private:
    explicit Language(LanguageId id);
    Language(const Language&) = delete;
    Language& operator=(const Language&) = delete;

    void initLanguage(LanguageId id);
    bool parseLine(char* line);
    static bool parse(char* field, int width, char** line);
    static LanguageId strToId(const char* name);
    static LanguageId getInitLang();
    static void prtError(const char* msg);

    FILE* _fd;
    char _msgId[NR_LINES][LINE_LEN + 1];
    char _msgStr[NR_LINES][LINE_LEN + 1];
    LanguageId _languageId;

    static Language* _language;
    static const char* const _langTxt[NR_LANG];
    static const char* const _file;
    static const char* const _sel;
};

// Every user-visible text goes through here: gettext(text, 0).
const char* gettext(const char* msgId, int msgNr);
const char* getMsgId(int msgNr);

// Marks a text that is translated later, where it is shown (tables of
// labels and messages), so that tools/langtexts.sh finds it.
constexpr const char* N_(const char* text) { return text; }

#endif
