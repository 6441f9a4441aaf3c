#ifndef TESTS_KORPROG_PROGCTRL_DATA_TEMPDIR_H
#define TESTS_KORPROG_PROGCTRL_DATA_TEMPDIR_H

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>

#include "korprog/progctrl/Data/Language.h"
#include "support/ScriptedDialogs.h"

// A fresh directory that is the working directory while the object lives
// (the settings files are opened by bare name); the previous working
// directory is restored and the directory removed afterwards.
class TempDir {
public:
    TempDir() : _previous(std::filesystem::current_path())
    {
        char tmpl[] = "/tmp/kpsettings.XXXXXX";
        std::error_code ec;
        if (::mkdtemp(tmpl) && (std::filesystem::current_path(tmpl, ec), !ec)) _path = tmpl;
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::current_path(_previous, ec);
        if (!_path.empty()) std::filesystem::remove_all(_path, ec);
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
    std::filesystem::path _previous;
    std::string _path;
};

// A test in a directory of its own, with its dialogs recorded and no
// language table left over from an earlier test.
class DataTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.ok());
        Language::destroy();
    }
    void TearDown() override { Language::destroy(); }

    TempDir dir;
    ScriptedDialogs dialogs;
};

#endif
