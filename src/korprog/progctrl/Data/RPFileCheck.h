#ifndef KORPROG_PROGCTRL_DATA_RPFILECHECK_H
#define KORPROG_PROGCTRL_DATA_RPFILECHECK_H

#include <cstddef>
#include <string>

// Gate in front of FLTK's preferences reader. That reader trusts its input:
// a section path that does not start with "." dereferences a null node, a
// group name near 128 characters overflows a static buffer, and a text value
// ending in a lone '\' or a short octal escape is read past its end. A pack
// file is handed to it only when it is plainly what the writer produces:
// sections "[.]" and "[./name]", entry lines "key:value", continuation lines
// '+' after an entry of the same section, well-formed escapes in every value
// (checked after continuation lines are joined, as the reader joins them).
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

    // True when the bytes may be given to the reader; otherwise why (when
    // not null) says what is wrong.
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
