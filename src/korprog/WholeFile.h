#ifndef KORPROG_WHOLEFILE_H
#define KORPROG_WHOLEFILE_H

#include <cstdint>
#include <string>

// Reading a plain file whole, with the reason when it cannot be. Every input
// a person names (a settings file, a pack, an image) is opened here: a FIFO
// or a device is refused at once instead of waiting for a writer or reading
// without end, and so is a file larger than it may be.
class WholeFile {
public:
    static constexpr uintmax_t ANY_SIZE = UINTMAX_MAX;

    // A descriptor of the regular file at path, of at most maxBytes, opened
    // without waiting and set to block again; -1 with errno's value in error
    // otherwise: missing, unreadable, a directory (EISDIR), a FIFO or device
    // (EINVAL), too large (EFBIG).
    static int open(const std::string& path, uintmax_t maxBytes, int* error);
    // Whether open would succeed; the file is opened and closed again.
    static bool usable(const std::string& path, uintmax_t maxBytes, int* error);
    // The reason for open's error, as a person reads it.
    static std::string reason(int error, uintmax_t maxBytes);

    // The content of the regular file at path; false, with errno's value in
    // error (when not null), for anything else (as open), or a read error.
    static bool read(const std::string& path, std::string& out, int* error = nullptr,
                     uintmax_t maxBytes = ANY_SIZE);
};

#endif
