#ifndef KORPROG_CSVFILE_H
#define KORPROG_CSVFILE_H

#include <string>
#include <vector>

// A table someone else's tool made (a spreadsheet's "CSV"): fields separated
// by ',', a field in double quotes may hold ',', line breaks and '"' written
// as "", records end with LF or CR LF (RFC 4180). The first record is the
// header and every record has as many fields as it. Text that is valid UTF-8
// is taken as UTF-8 (a leading byte order mark dropped); any other text was
// written in Latin-1 and is turned into UTF-8, so every field comes out in
// UTF-8 whichever a spreadsheet chose.
class CsvFile {
public:
    struct Record {
        int number = 0;  // 0 the header, 1 the first record below it
        std::vector<std::string> fields;
    };

    // Parses text; false with why (naming the record) for text that is no
    // such table. An empty line is no record but keeps its number.
    static bool parse(const std::string& text, std::vector<Record>* records, std::string* why);

    static std::string latin1ToUtf8(const std::string& s);
    // UTF-8 to Latin-1; false when s holds a character Latin-1 has not.
    static bool utf8ToLatin1(const std::string& s, std::string* out);
};

#endif
