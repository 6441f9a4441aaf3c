#ifndef TESTS_KORPROG_PROGCTRL_DATA_TEMPDIR_H
#define TESTS_KORPROG_PROGCTRL_DATA_TEMPDIR_H

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ftw.h>
#include <iterator>
#include <string>
#include <unistd.h>

// A fresh directory that is the working directory while the object lives
// (the settings files are opened by bare name); the previous working
// directory is restored and the directory removed afterwards.
class TempDir {
public:
    TempDir()
    {
        char tmpl[] = "/tmp/kpsettings.XXXXXX";
        char cwd[PATH_MAX];
        _previous = ::getcwd(cwd, sizeof cwd) ? cwd : "/";
        if (::mkdtemp(tmpl) && ::chdir(tmpl) == 0) _path = tmpl;
    }
    ~TempDir()
    {
        if (::chdir(_previous.c_str()) != 0) std::perror("chdir");
        if (!_path.empty()) ::nftw(_path.c_str(), &removeOne, 8, FTW_DEPTH | FTW_PHYS);
    }
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
    static int removeOne(const char* p, const struct stat*, int, struct FTW*) { return ::remove(p); }
    std::string _path, _previous;
};

#endif
