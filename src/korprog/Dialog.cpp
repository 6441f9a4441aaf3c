#include "korprog/Dialog.h"

#include <cstdarg>
#include <cstdio>

#include "helm/platform/BTimerTick.h"
#include "korprog/DialogHandler.h"
#include "korprog/FlDialogHandler.h"
#include "korprog/RunMode.h"
#include "korprog/runlog/RunLog.h"
#include "korprog/runlog/StatusOut.h"

namespace {

// Without a display (or with KORPROG_HEADLESS set) nobody can answer: alerts
// go to standard error and questions take their safe answer.
class HeadlessDialogHandler : public DialogHandler {
public:
    void alert(const std::string& text) override { std::fprintf(stderr, "alert: %s\n", text.c_str()); }
    // A question answered here is a status line of the run: where its
    // status lines go, on one line, with the answer given.
    int choice(const std::string& question, const char* b0, const char* b1, const char* b2, int safe) override
    {
        const char* buttons[] = {b0, b1, b2};
        const char* answer = safe >= 0 && safe < 3 ? buttons[safe] : nullptr;
        std::string line;
        for (char c : question) {
            if (c == '\n' || c == '\r') c = ' ';
            if (c != ' ' || (!line.empty() && line.back() != ' ')) line += c;
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        std::fflush(stderr);
        StatusOut::line(RunLog::statusOut(), line + " -> " + (answer ? answer : ""));
        return safe;
    }
    void beep() override {}
    std::string chooseFile(const std::string&, const std::string&, const std::string&, bool) override { return {}; }
    std::string chooseDir(const std::string&, const std::string&, const std::string&) override { return {}; }
};

DialogHandler* g_handler = nullptr;
Dialog::ModalHook g_opening = nullptr;
Dialog::ModalHook g_closed = nullptr;
int g_open = 0;

// Around each modal dialog (dialogs may open from dialogs).
class ModalSpan {
public:
    ModalSpan()
    {
        bTimerTickHold();
        if (g_open++ == 0 && g_opening) g_opening();
    }
    ~ModalSpan()
    {
        if (--g_open == 0 && g_closed) g_closed();
        bTimerTickRelease();
    }
    ModalSpan(const ModalSpan&) = delete;
    ModalSpan& operator=(const ModalSpan&) = delete;
};

DialogHandler* defaultHandler()
{
    static HeadlessDialogHandler headless;
    static FlDialogHandler fltk;
    return RunMode::personAnswers() ? static_cast<DialogHandler*>(&fltk) : &headless;
}

}  // namespace

DialogHandler* Dialog::handler() { return g_handler ? g_handler : defaultHandler(); }

void Dialog::setModalHooks(ModalHook opening, ModalHook closed)
{
    g_opening = opening;
    g_closed = closed;
}

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
    ModalSpan span;
    handler()->alert(buf);
}

int Dialog::choice(const char* question, const char* b0, const char* b1, const char* b2, int safe)
{
    ModalSpan span;
    return handler()->choice(question ? question : "", b0, b1, b2, safe);
}

void Dialog::beep() { handler()->beep(); }

std::string Dialog::chooseFile(const std::string& message, const std::string& pattern,
                               const std::string& start, bool forSave)
{
    ModalSpan span;
    return handler()->chooseFile(message, pattern, start, forSave);
}

std::string Dialog::chooseDir(const std::string& message, const std::string& pattern, const std::string& start)
{
    ModalSpan span;
    return handler()->chooseDir(message, pattern, start);
}
