#ifndef TESTS_SUPPORT_SCRIPTEDDIALOGS_H
#define TESTS_SUPPORT_SCRIPTEDDIALOGS_H

#include <deque>
#include <string>
#include <vector>

#include "korprog/Dialog.h"
#include "korprog/DialogHandler.h"

// Records every dialog and answers questions from a script; installed for
// the lifetime of the object.
class ScriptedDialogs : public DialogHandler {
public:
    ScriptedDialogs() { _previous = Dialog::setHandler(this); }
    ~ScriptedDialogs() override { Dialog::setHandler(_previous); }

    void alert(const std::string& text) override { alerts.push_back(text); }
    // Without a scripted answer the question gets its safe answer.
    int choice(const std::string& question, const char*, const char*, const char*, int safe) override
    {
        questions.push_back(question);
        if (answers.empty()) return safe;
        int a = answers.front();
        answers.pop_front();
        return a;
    }
    void beep() override { ++beeps; }
    std::string chooseFile(const std::string&, const std::string&, const std::string&, bool) override
    {
        return next(files);
    }
    std::string chooseDir(const std::string&, const std::string& pattern, const std::string&) override
    {
        dirPatterns.push_back(pattern);
        return next(dirs);
    }

    std::vector<std::string> alerts, questions, dirPatterns;
    std::deque<int> answers;
    std::deque<std::string> files, dirs;
    int beeps = 0;

private:
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
