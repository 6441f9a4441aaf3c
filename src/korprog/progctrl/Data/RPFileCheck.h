#ifndef KORPROG_PROGCTRL_DATA_RPFILECHECK_H
#define KORPROG_PROGCTRL_DATA_RPFILECHECK_H

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// Reader of the preferences format of packs and restriction files. FLTK's
// own reader trusts its input (a section path that does not start with "."
// dereferences a null node, a group name near 128 characters overflows a
// static buffer, a text value ending in a lone '\' or a short octal escape
// is read past its end) and joins continuation lines in time quadratic in
// a value's length. A file is read here instead, in one pass, only when it
// is plainly what the writer produces: sections "[.]" and "[./name]", entry
// lines "key:value", continuation lines '+' after an entry of the same
// section, well-formed escapes in every value (checked after continuation
// lines are joined), and nothing larger than a pack can legally hold.
class RPFileCheck {
public:
    // Lines are read by FLTK in pieces of 1023 bytes; shorter lines keep
    // its view of the file the same as ours.
    static constexpr size_t MAX_LINE = 1000;
    // Group names: "./" and the name must stay well inside FLTK's 128-byte
    // path buffer.
    static constexpr size_t MAX_GROUP_NAME = 100;
    // FLTK cuts entry names to 127 characters when it reads them.
    static constexpr size_t MAX_ENTRY_NAME = 127;
    // The longest legal value: an image of 102400 bytes, hex-coded. A
    // longer one is refused before it is read whole.
    static constexpr size_t MAX_VALUE = 2 * 102400;
    // Far above what a pack holds (some 60 groups: 50 images of about ten
    // entries, the lists, a restriction list of a few rows), and low enough
    // that looking an entry up by name, as the preferences class does,
    // stays cheap.
    static constexpr size_t MAX_GROUPS = 256;
    static constexpr size_t MAX_GROUP_ENTRIES = 512;
    static constexpr size_t MAX_ENTRIES = 4096;
    // Nothing legitimate comes near this: 50 images of 100 KiB, as hex.
    static constexpr size_t MAX_FILE = 64u * 1024 * 1024;

    // One section: its path ("." or "./name") and its entries in the order
    // they were first set, values as stored (escaped text, hex, numbers).
    struct Section {
        std::string path;
        std::vector<std::pair<std::string, std::string>> entries;
    };
    typedef std::vector<Section> Sections;

    // The file's sections, the root first, others in the order they first
    // appear; a repeated section continues, a repeated key replaces its
    // value in place. False, with why (when not null) saying what is wrong,
    // for a file that may not be read.
    static bool parse(const std::string& bytes, Sections& out, std::string* why = nullptr);
    static bool wellFormed(const std::string& bytes, std::string* why = nullptr);

    // Names our own writes may use: group names become "[./name]" lines,
    // entry names the part before ':' of a line.
    static bool groupNameOk(const char* name);
    static bool entryNameOk(const char* name);

    // The backslash escapes of a text value are complete: "\\", "\n", "\r"
    // or three octal digits.
    static bool escapesOk(const std::string& value);
};

#endif
