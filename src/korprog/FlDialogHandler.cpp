#include "korprog/FlDialogHandler.h"

#include <FL/Fl_File_Chooser.H>
#include <FL/fl_ask.H>

void FlDialogHandler::alert(const std::string& text) { fl_alert("%s", text.c_str()); }

int FlDialogHandler::choice(const std::string& question, const char* b0, const char* b1, const char* b2, int)
{
    return fl_choice("%s", b0, b1, b2, question.c_str());
}

void FlDialogHandler::beep() { fl_beep(); }

std::string FlDialogHandler::chooseFile(const std::string& message, const std::string& pattern,
                                        const std::string& start, bool forSave)
{
    (void)forSave;  // Fl_File_Chooser accepts new names in both cases
    const char* f = fl_file_chooser(message.c_str(), pattern.c_str(), start.c_str(), 0);
    return f ? std::string(f) : std::string();
}

std::string FlDialogHandler::chooseDir(const std::string& message, const std::string& start)
{
    const char* d = fl_dir_chooser(message.c_str(), start.c_str(), 0);
    return d ? std::string(d) : std::string();
}
