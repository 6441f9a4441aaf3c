#include "korprog/WholeFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

namespace {

bool fail(int* error, int value)
{
    if (error) *error = value ? value : EIO;
    return false;
}

}  // namespace

bool WholeFile::read(const std::string& path, std::string& out, int* error)
{
    out.clear();
    // Looked at before opening: a directory opens and fails only on the
    // first read, and opening a pipe waits for a writer.
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return fail(error, errno);
    if (!S_ISREG(st.st_mode)) return fail(error, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return fail(error, errno);
    char buf[8192];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    const int why = std::ferror(f) ? errno : 0;
    std::fclose(f);
    return why == 0 || fail(error, why);
}
