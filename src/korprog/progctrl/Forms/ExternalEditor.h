#ifndef KORPROG_PROGCTRL_FORMS_EXTERNALEDITOR_H
#define KORPROG_PROGCTRL_FORMS_EXTERNALEDITOR_H

#include <sys/types.h>

#include <string>
#include <vector>

// Opens a text file in an editor of the user's, without the window waiting
// for it. The ways are tried in this order, each only when its programs are
// on the PATH:
//   - in a desktop session, the desktop's editor (xdg-open);
//   - $VISUAL, then $EDITOR: an editor that runs in a terminal (vi, nano,
//     ...) inside a terminal emulator (x-terminal-emulator -e), any other
//     as it is;
//   - xdg-open outside a desktop session (the user may have chosen an
//     editor for text files all the same).
// A way whose program ends at once with a failure gives way to the next.
// When none is left the user is told, with the file's path.
class ExternalEditor {
public:
    ExternalEditor();
    ~ExternalEditor();

    void open(const std::string& path);

    // The command lines `open` would try for path, first to last; why the
    // editors named but left out cannot be used goes to skipped.
    static std::vector<std::vector<std::string>> ways(const std::string& path,
                                                      std::vector<std::string>* skipped = nullptr);
    // Whether the editor a command line starts runs in a terminal.
    static bool runsInTerminal(const std::vector<std::string>& command);

private:
    ExternalEditor(const ExternalEditor&) = delete;
    ExternalEditor& operator=(const ExternalEditor&) = delete;

    void tryNext();
    static void watch(void* self);

    std::string _path;
    std::vector<std::vector<std::string>> _ways;
    // Why no editor opened so far, one reason a line.
    std::vector<std::string> _why;
    size_t _next;
    // The program being tried, and how long it has run.
    pid_t _pid;
    int _polls;
    // Programs that started, collected when they end.
    std::vector<pid_t> _started;
};

#endif
