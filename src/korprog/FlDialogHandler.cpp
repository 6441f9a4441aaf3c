#include "korprog/FlDialogHandler.h"

#include <FL/fl_ask.H>

#include "korprog/FlMessageBox.h"
#include "lib/Flu/Flu_File_Chooser.h"

void FlDialogHandler::alert(const std::string& text) { FlMessageBox::ask('!', text, {fl_close}, 0, 0); }

int FlDialogHandler::choice(const std::string& question, const char* b0, const char* b1, const char* b2, int safe)
{
    std::vector<std::string> buttons;
    for (const char* b : {b0, b1, b2}) {
        if (!b) break;
        buttons.push_back(b);
    }
    if (buttons.empty()) buttons.push_back(fl_close);
    if (safe < 0 || safe >= static_cast<int>(buttons.size())) safe = 0;
    // Return and Escape both give the answer that changes nothing: a key
    // pressed in a hurry must not replace a file or stop a transfer.
    return FlMessageBox::ask('?', question, buttons, safe, safe);
}

void FlDialogHandler::beep() { fl_beep(); }

std::string FlDialogHandler::chooseFile(const std::string& message, const std::string& pattern,
                                        const std::string& start, bool forSave)
{
    return forSave ? flu_save_chooser(message.c_str(), pattern.c_str(), start.c_str())
                   : flu_file_chooser(message.c_str(), pattern.c_str(), start.c_str());
}

std::string FlDialogHandler::chooseDir(const std::string& message, const std::string& pattern,
                                       const std::string& start)
{
    return flu_dir_chooser(message.c_str(), pattern.c_str(), start.c_str());
}
