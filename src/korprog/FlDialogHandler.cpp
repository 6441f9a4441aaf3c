#include "korprog/FlDialogHandler.h"

#include <FL/fl_ask.H>

#include "lib/Flu/Flu_File_Chooser.h"

void FlDialogHandler::alert(const std::string& text) { fl_alert("%s", text.c_str()); }

int FlDialogHandler::choice(const std::string& question, const char* b0, const char* b1, const char* b2, int)
{
    return fl_choice("%s", b0, b1, b2, question.c_str());
}

void FlDialogHandler::beep() { fl_beep(); }

std::string FlDialogHandler::chooseFile(const std::string& message, const std::string& pattern,
                                        const std::string& start, bool forSave)
{
    return forSave ? flu_save_chooser(message.c_str(), pattern.c_str(), start.c_str())
                   : flu_file_chooser(message.c_str(), pattern.c_str(), start.c_str());
}

std::string FlDialogHandler::chooseDir(const std::string& message, const std::string& start)
{
    return flu_dir_chooser(message.c_str(), start.c_str());
}
