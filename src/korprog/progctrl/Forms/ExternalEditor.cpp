#include "korprog/progctrl/Forms/ExternalEditor.h"

#include <FL/Fl.H>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "korprog/Dialog.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/Translated.h"

extern char** environ;

namespace {

// How often a starting program is looked at, and how long it has to fail
// before it counts as started.
const double POLL_S = 0.1;
const int FAIL_POLLS = 20;
// Programs that did start are collected when they end.
const double REAP_S = 1.0;

const char* const TERMINAL = "x-terminal-emulator";
const char* const DESKTOP_OPEN = "xdg-open";

// Editors that need a terminal to draw in.
const char* const TERMINAL_EDITORS[] = {
    "vi",    "vim",  "vim.basic", "vim.tiny", "vim.nox", "nvim",  "view", "nano", "rnano", "pico",
    "ed",    "ex",   "joe",       "jmacs",    "jstar",   "jpico", "jed",  "mcedit", "micro", "ne",
    "mg",    "kak",  "hx",        "helix",    "vis",     "jove",  "zile", "nvi",  "elvis", "tilde",
    "dte",   "emacs-nox", "editor", "sensible-editor",
};

std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

// The program's path as the PATH finds it; "" when it is not there.
std::string onPath(const std::string& program)
{
    auto runnable = [](const std::string& p) {
        struct stat st;
        return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(p.c_str(), X_OK) == 0;
    };
    if (program.find('/') != std::string::npos) return runnable(program) ? program : "";
    std::istringstream dirs(env("PATH"));
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::string p = (dir.empty() ? "." : dir) + "/" + program;
        if (runnable(p)) return p;
    }
    return "";
}

std::vector<std::string> words(const std::string& s)
{
    std::istringstream in(s);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

}  // namespace

ExternalEditor::ExternalEditor() : _next(0), _pid(0), _polls(0) {}

ExternalEditor::~ExternalEditor() { Fl::remove_timeout(watch, this); }

bool ExternalEditor::runsInTerminal(const std::vector<std::string>& command)
{
    if (command.empty()) return false;
    const std::string name = command[0].substr(command[0].rfind('/') + 1);
    for (const char* e : TERMINAL_EDITORS)
        if (name == e) return true;
    // Emacs draws in its terminal when told to.
    return name.compare(0, 5, "emacs") == 0 &&
           std::any_of(command.begin() + 1, command.end(),
                       [](const std::string& a) { return a == "-nw" || a == "--no-window-system" || a == "-t"; });
}

std::vector<std::vector<std::string>> ExternalEditor::ways(const std::string& path, std::vector<std::string>* skipped)
{
    std::vector<std::vector<std::string>> out;
    const std::string desktopOpen = onPath(DESKTOP_OPEN);
    const bool desktop = !env("XDG_CURRENT_DESKTOP").empty() || !env("DESKTOP_SESSION").empty();
    if (desktop && !desktopOpen.empty()) out.push_back({desktopOpen, path});

    const std::string terminal = onPath(TERMINAL);
    std::vector<std::string> seen;
    for (const char* var : {"VISUAL", "EDITOR"}) {
        std::vector<std::string> command = words(env(var));
        if (command.empty() || std::find(seen.begin(), seen.end(), command[0]) != seen.end()) continue;
        seen.push_back(command[0]);
        const std::string program = onPath(command[0]);
        if (program.empty()) {
            if (skipped) skipped->push_back(Translated::message("%s (%s) staat niet op het PATH", command[0].c_str(), var));
            continue;
        }
        const bool inTerminal = runsInTerminal(command);
        if (inTerminal && terminal.empty()) {
            if (skipped)
                skipped->push_back(Translated::message("%s heeft een terminal nodig en %s staat niet op het PATH",
                                                   command[0].c_str(), TERMINAL));
            continue;
        }
        command[0] = program;
        command.push_back(path);
        if (inTerminal) command.insert(command.begin(), {terminal, "-e"});
        out.push_back(command);
    }

    if (!desktop && !desktopOpen.empty()) out.push_back({desktopOpen, path});
    return out;
}

void ExternalEditor::open(const std::string& path)
{
    // One still being tried for an earlier file counts as started.
    if (_pid) _started.push_back(_pid);
    _pid = 0;
    _path = path;
    _why.clear();
    _ways = ways(path, &_why);
    if (onPath(DESKTOP_OPEN).empty()) _why.push_back(Translated::message("%s staat niet op het PATH", DESKTOP_OPEN));
    if (env("VISUAL").empty() && env("EDITOR").empty())
        _why.push_back(Translated::message("VISUAL en EDITOR noemen geen editor"));
    _next = 0;
    tryNext();
}

void ExternalEditor::tryNext()
{
    _pid = 0;
    while (_next < _ways.size() && _pid == 0) {
        const std::vector<std::string>& way = _ways[_next++];
        std::vector<char*> argv;
        for (const std::string& a : way) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        // Nothing of the editor's reaches the program's output; it runs in
        // a process group of its own, so that Ctrl-C in the program's
        // terminal leaves it alone.
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        for (int fd : {0, 1, 2}) posix_spawn_file_actions_addopen(&files, fd, "/dev/null", fd ? O_WRONLY : O_RDONLY, 0);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attr, 0);
        pid_t pid = 0;
        const int failed = posix_spawn(&pid, argv[0], &files, &attr, argv.data(), environ);
        if (failed == 0)
            _pid = pid;
        else
            _why.push_back(Translated::message("%s start niet: %s", argv[0], std::strerror(failed)));
        posix_spawnattr_destroy(&attr);
        posix_spawn_file_actions_destroy(&files);
    }
    if (_pid == 0) {
        std::string why;
        for (const std::string& w : _why) why += w + ".\n";
        Dialog::alert("%s\n%s\n%s", gettext("Er kon geen editor geopend worden voor:", 0), _path.c_str(), why.c_str());
        return;
    }
    _polls = 0;
    Fl::remove_timeout(watch, this);
    Fl::add_timeout(POLL_S, watch, this);
}

void ExternalEditor::watch(void* data)
{
    ExternalEditor* self = static_cast<ExternalEditor*>(data);
    int status = 0;
    for (size_t i = 0; i < self->_started.size();) {
        if (::waitpid(self->_started[i], &status, WNOHANG) == 0) {
            ++i;
        } else {
            self->_started.erase(self->_started.begin() + static_cast<long>(i));
        }
    }
    if (self->_pid) {
        const pid_t done = ::waitpid(self->_pid, &status, WNOHANG);
        if (done != 0) {
            self->_pid = 0;
            if (done < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
                const std::string& program = self->_ways[self->_next - 1][0];
                self->_why.push_back(done > 0 && WIFEXITED(status)
                                         ? Translated::message("%s stopte met code %d", program.c_str(), WEXITSTATUS(status))
                                         : Translated::message("%s stopte onverwacht", program.c_str()));
                self->tryNext();
                return;
            }
        } else if (++self->_polls >= FAIL_POLLS) {
            self->_started.push_back(self->_pid);
            self->_pid = 0;
        }
    }
    if (self->_pid) {
        Fl::repeat_timeout(POLL_S, watch, data);
    } else if (!self->_started.empty()) {
        Fl::repeat_timeout(REAP_S, watch, data);
    }
}
