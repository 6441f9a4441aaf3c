#ifndef KORPROG_WHOLEFILE_H
#define KORPROG_WHOLEFILE_H

#include <string>

// Reading a plain file whole, with the reason when it cannot be.
class WholeFile {
public:
    // The content of the regular file at path; false, with errno's value in
    // error (when not null), for anything else: missing, unreadable, a
    // directory or device (EISDIR, EINVAL), a read error.
    static bool read(const std::string& path, std::string& out, int* error = nullptr);
};

#endif
