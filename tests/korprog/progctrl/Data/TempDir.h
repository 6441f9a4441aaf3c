#ifndef TESTS_KORPROG_PROGCTRL_DATA_TEMPDIR_H
#define TESTS_KORPROG_PROGCTRL_DATA_TEMPDIR_H

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ftw.h>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>

// A fresh directory that is the working directory for the life of the
// object: the settings files are read by bare name from there. The previous
// working directory is restored and the directory removed afterwards.
class TempDir {
public:
    TempDir()
    {
        char tmpl[] = "/tmp/kpsettings.XXXXXX";
        const char* d = ::mkdtemp(tmpl);
        _path = d ? d : "";
        char cwd[PATH_MAX];
        _previous = ::getcwd(cwd, sizeof cwd) ? cwd : "/";
        if (!_path.empty() && ::chdir(_path.c_str()) != 0) _path.clear();
    }
    ~TempDir()
    {
        if (::chdir(_previous.c_str()) != 0) { /* nothing sensible left to do */ }
        if (!_path.empty()) ::nftw(_path.c_str(), &removeOne, 8, FTW_DEPTH | FTW_PHYS);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return _path; }
    bool ok() const { return !_path.empty(); }

    static void write(const std::string& name, const std::string& content)
    {
        std::ofstream out(name, std::ios::binary | std::ios::trunc);
        out << content;
    }
    static std::string read(const std::string& name)
    {
        std::ifstream in(name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    static int removeOne(const char* p, const struct stat*, int, struct FTW*) { return ::remove(p); }
    std::string _path;
    std::string _previous;
};

#endif
