#ifndef TESTS_SUPPORT_TEMPDIR_H
#define TESTS_SUPPORT_TEMPDIR_H

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// A fresh directory under /tmp for one test, removed with all it holds when
// the object goes. ENTER makes it the working directory while it lives (for
// files opened by bare name); the previous one comes back afterwards.
class TempDir {
public:
    enum Mode { STAY, ENTER };

    explicit TempDir(const std::string& prefix = "korprog-test", Mode mode = STAY)
        : _previous(std::filesystem::current_path())
    {
        std::string tmpl = "/tmp/" + prefix + "-XXXXXX";
        if (!::mkdtemp(&tmpl[0])) return;
        std::error_code ec;
        if (mode == ENTER) std::filesystem::current_path(tmpl, ec);
        _entered = mode == ENTER && !ec;
        _path = tmpl;
    }
    ~TempDir()
    {
        std::error_code ec;
        if (_entered) std::filesystem::current_path(_previous, ec);
        if (!_path.empty()) std::filesystem::remove_all(_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // "" when no directory could be made.
    const std::string& path() const { return _path; }
    bool ok() const { return !_path.empty(); }

    static void write(const std::string& name, const std::string& content)
    {
        std::ofstream(name, std::ios::binary | std::ios::trunc) << content;
    }
    static std::string read(const std::string& name)
    {
        std::ifstream in(name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path _previous;
    std::string _path;
    bool _entered = false;
};

#endif
