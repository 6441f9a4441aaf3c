#ifndef KORPROG_DIALOG_H
#define KORPROG_DIALOG_H

#include <string>

class DialogHandler;

// The one way the program shows a modal dialog. Formatting is printf-style
// and bounded; the handler decides how the dialog is shown and answered.
class Dialog {
public:
    static void alert(const char* format, ...) __attribute__((format(printf, 1, 2)));
    // Returns the index of the button chosen. `safe` is the answer given when
    // nobody can answer (a run without a display): the one that changes nothing.
    static int choice(const char* question, const char* b0, const char* b1, const char* b2, int safe = 0);
    static void beep();
    static std::string chooseFile(const std::string& message, const std::string& pattern,
                                  const std::string& start, bool forSave = false);
    static std::string chooseDir(const std::string& message, const std::string& pattern, const std::string& start);

    // Installs h (null: the default) and returns the previous handler.
    static DialogHandler* setHandler(DialogHandler* h);
    static DialogHandler* handler();

    // Every modal dialog runs a loop of its own, in which the program's
    // state machines do not run. Meanwhile the runtime's clock stands still
    // (bTimerTickHold), so no time-out counts the time a person takes to
    // answer, and `opening` and `closed` are called around the outermost
    // dialog: the main loop stops watching its descriptors, whose input
    // waits until the dialog has closed.
    typedef void (*ModalHook)();
    static void setModalHooks(ModalHook opening, ModalHook closed);
};

#endif
