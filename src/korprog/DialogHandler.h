#ifndef KORPROG_DIALOGHANDLER_H
#define KORPROG_DIALOGHANDLER_H

#include <string>

// Answers the program's modal dialogs. The window build uses FLTK's; tests
// install a scripted one; headless runs use one that never blocks.
class DialogHandler {
public:
    virtual ~DialogHandler() = default;
    virtual void alert(const std::string& text) = 0;
    // Returns the index (0, 1 or 2) of the button chosen; safe is the answer
    // that changes nothing, for handlers that cannot ask anybody.
    virtual int choice(const std::string& question, const char* b0, const char* b1, const char* b2, int safe) = 0;
    virtual void beep() = 0;
    // Returns the chosen path, or "" when cancelled.
    virtual std::string chooseFile(const std::string& message, const std::string& pattern,
                                   const std::string& start, bool forSave) = 0;
    // A directory; the files matching pattern are shown in it, not chosen.
    virtual std::string chooseDir(const std::string& message, const std::string& pattern,
                                  const std::string& start) = 0;
};

#endif
