#ifndef MAIN_OPTIONTABLE_H
#define MAIN_OPTIONTABLE_H

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// The command line's options, in one table: their names, how many values
// follow each, what each sets and its line of -help. The parsing, the
// refusal of what is no option, -help's lines after the usage text, the
// production line's command lines for its runs and the bash completion all
// read it.
class OptionTable {
public:
    // What the values of an option are, for -help and the completion.
    enum class Value { NONE, FILE, DIR, DEV, PACK, NAME, HOST_PORT };
    // Where -help shows an option: in the usage text every script knows
    // (not repeated), among the unattended runs' options, among the other
    // uses, or nowhere.
    enum class Shown { USAGE, RUN, USE, HIDDEN };

    // Where setting an option takes its paths from, and what it may refuse.
    struct Context {
        std::string startDir;  // the directory the program was started in
        std::string* refusal;  // set (once) to why the command line cannot run
    };

    struct Option {
        const char* names[3];  // the first is the option's name; the others mean the same
        Value value;           // what its values are; NONE: it takes none
        Shown shown;
        const char* help;      // its text in -help ('\n' continues it on the next line)
        void (*set)(const char* const* values, Context& context);

        int nrValues() const;
    };

    // One argument as the table reads it, with the values it took.
    struct Arg {
        int index = 0;
        const char* text = "";
        const Option* option = nullptr;  // null: a file, a word, or unknown
        bool file = false;               // it names an existing file: never an option
        bool unknown = false;            // starts with '-' and is no option
        std::vector<const char*> values;
        std::string missing;             // why its values are not there; "" when they are
    };

    static const std::vector<Option>& all();
    // The option called name (any of its names); null when there is none.
    static const Option* find(const char* name);
    // The option a person most likely meant by an unknown one; null when
    // none comes near.
    static const Option* nearest(const char* unknown);
    // "unknown option -prgram; did you mean -program?"
    static std::string unknown(const char* argument);

    // Reads argv[1..] from the left: an argument that names an existing
    // file is a file, one the table knows takes its values, one that starts
    // with '-' is unknown, anything else is a word. Relative files are
    // looked for from the current directory.
    static void walk(int argc, char** argv, const std::function<void(const Arg&)>& each);
    // Sets what the arguments say; the first reason the command line
    // cannot run, in the table's order of the arguments, goes to refusal.
    static void apply(const Arg& arg, Context& context);

    // -help's lines after the usage text, from the table.
    static void writeHelp(FILE* out);
    // The bash completion of the options.
    static void writeCompletion(FILE* out);

    // What the table's options set beyond the switches of other classes.
    static bool VERSION;
    static bool DOCTOR;
    static bool COMPLETION;
};

#endif
