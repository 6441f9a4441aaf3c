// The language choice (language.ini) and the translation table
// (language.csv) from anywhere: the input is the choice, a zero byte, and
// the table. Every message number gives a text that fits its field, every
// look-up answers, and a translation is only ever given with exactly the
// printf conversions of its key (a key that is a format stays a format
// for the same arguments).

#include <cstring>
#include <string>
#include <vector>

#include "fuzz/support/FuzzKit.h"
#include "korprog/progctrl/Data/Language.h"

using namespace fuzzkit;

namespace {

// Every '%' that is not "%%", with what follows it up to the first letter
// that is no length modifier.
std::vector<std::string> conversionsOf(const std::string& text)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        if (i + 1 < text.size() && text[i + 1] == '%') {
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < text.size() && std::strchr("-+ #0123456789.*$hlLqjzt", text[j]) && text[j]) ++j;
        out.push_back(text.substr(i, j < text.size() ? j + 1 - i : j - i));
        i = j;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Dialogs dialogs;
    workDir();
    Input in(data, size);
    writeFile("language.ini", in.upTo('\0'));
    const std::string table = in.rest();
    writeFile("language.csv", table);
    Language::destroy();
    Language* lang = Language::instance();
    if (lang) {
        int looked = 0;
        for (int n = -1; n <= Language::NR_LINES; ++n) {
            const char* id = lang->getMsgId(n);
            if (!id || strnlen(id, Language::LINE_LEN + 1) > size_t(Language::LINE_LEN)) fail("message id past its field");
            if (!*id || ++looked > 16) continue;  // a look-up reads the whole table: a few do
            const char* t = lang->gettext(id, 0);
            if (!t || strnlen(t, Language::LINE_LEN + 1) > size_t(Language::LINE_LEN)) fail("translation past its field");
            if (conversionsOf(t) != conversionsOf(id))
                fail(std::string("translation \"") + t + "\" of \"" + id + "\" with other conversions");
        }
        // A piece of the table itself as a key, as texts of the program are.
        const std::string key = table.substr(0, table.find(';'));
        lang->gettext(key.c_str(), 0);
    }
    gettext("Verbonden", 0);
    Language::destroy();
    return 0;
}
