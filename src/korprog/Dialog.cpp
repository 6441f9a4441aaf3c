#include "korprog/Dialog.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "korprog/DialogHandler.h"
#include "korprog/FlDialogHandler.h"

namespace {

// Without a display (or with KORPROG_HEADLESS set) nobody can answer: alerts
// go to standard error and questions take their safe answer.
class HeadlessDialogHandler : public DialogHandler {
public:
    void alert(const std::string& text) override { std::fprintf(stderr, "alert: %s\n", text.c_str()); }
    int choice(const std::string& question, const char* b0, const char* b1, const char* b2, int safe) override
    {
        const char* buttons[] = {b0, b1, b2};
        const char* answer = safe >= 0 && safe < 3 ? buttons[safe] : nullptr;
        std::fprintf(stderr, "question: %s -> %s\n", question.c_str(), answer ? answer : "");
        return safe;
    }
    void beep() override {}
    std::string chooseFile(const std::string&, const std::string&, const std::string&, bool) override { return {}; }
    std::string chooseDir(const std::string&, const std::string&, const std::string&) override { return {}; }
};

DialogHandler* g_handler = nullptr;

DialogHandler* defaultHandler()
{
    static HeadlessDialogHandler headless;
    static FlDialogHandler fltk;
    const bool headlessRun = std::getenv("KORPROG_HEADLESS") != nullptr || std::getenv("DISPLAY") == nullptr;
    return headlessRun ? static_cast<DialogHandler*>(&headless) : &fltk;
}

}  // namespace

DialogHandler* Dialog::handler() { return g_handler ? g_handler : defaultHandler(); }

DialogHandler* Dialog::setHandler(DialogHandler* h)
{
    DialogHandler* old = g_handler;
    g_handler = h;
    return old;
}

void Dialog::alert(const char* format, ...)
{
    char buf[4096];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    handler()->alert(buf);
}

int Dialog::choice(const char* question, const char* b0, const char* b1, const char* b2, int safe)
{
    return handler()->choice(question ? question : "", b0, b1, b2, safe);
}

void Dialog::beep() { handler()->beep(); }

std::string Dialog::chooseFile(const std::string& message, const std::string& pattern,
                               const std::string& start, bool forSave)
{
    return handler()->chooseFile(message, pattern, start, forSave);
}

std::string Dialog::chooseDir(const std::string& message, const std::string& pattern, const std::string& start)
{
    return handler()->chooseDir(message, pattern, start);
}
