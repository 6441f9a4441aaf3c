#ifndef KORPROG_FLDIALOGHANDLER_H
#define KORPROG_FLDIALOGHANDLER_H

#include "korprog/DialogHandler.h"

// The modal dialogs of the interactive program, on FLTK.
class FlDialogHandler : public DialogHandler {
public:
    void alert(const std::string& text) override;
    int choice(const std::string& question, const char* b0, const char* b1, const char* b2, int safe) override;
    void beep() override;
    std::string chooseFile(const std::string& message, const std::string& pattern,
                           const std::string& start, bool forSave) override;
    std::string chooseDir(const std::string& message, const std::string& pattern,
                          const std::string& start) override;
};

#endif
