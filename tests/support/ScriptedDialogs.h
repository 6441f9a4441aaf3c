#ifndef TESTS_SUPPORT_SCRIPTEDDIALOGS_H
#define TESTS_SUPPORT_SCRIPTEDDIALOGS_H

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "korprog/Dialog.h"
#include "korprog/DialogHandler.h"

// Records every dialog and answers questions from a script; installed for
// the lifetime of the object. `whileOpen` runs inside every dialog, as what
// happens while a person reads it (time passing, the unit sending).
class ScriptedDialogs : public DialogHandler {
public:
    ScriptedDialogs() { _previous = Dialog::setHandler(this); }
    ~ScriptedDialogs() override { Dialog::setHandler(_previous); }

    void alert(const std::string& text) override
    {
        alerts.push_back(text);
        open();
    }
    // Without a scripted answer the question gets its safe answer.
    int choice(const std::string& question, const char*, const char*, const char*, int safe) override
    {
        questions.push_back(question);
        open();
        if (answers.empty()) return safe;
        int a = answers.front();
        answers.pop_front();
        return a;
    }
    void beep() override { ++beeps; }
    std::string chooseFile(const std::string&, const std::string&, const std::string&, bool) override
    {
        open();
        return next(files);
    }
    std::string chooseDir(const std::string&, const std::string& pattern, const std::string&) override
    {
        open();
        dirPatterns.push_back(pattern);
        return next(dirs);
    }

    std::vector<std::string> alerts, questions, dirPatterns;
    std::deque<int> answers;
    std::deque<std::string> files, dirs;
    int beeps = 0;
    std::function<void()> whileOpen;

private:
    void open()
    {
        if (whileOpen) whileOpen();
    }
    static std::string next(std::deque<std::string>& q)
    {
        if (q.empty()) return {};
        std::string s = q.front();
        q.pop_front();
        return s;
    }
    DialogHandler* _previous;
};

#endif
