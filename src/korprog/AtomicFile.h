#ifndef KORPROG_ATOMICFILE_H
#define KORPROG_ATOMICFILE_H

#include <cstdio>
#include <string>

// A file written beside its target and renamed over it once every byte is
// on disk: a reader sees the previous file or the new one, never part of
// one, and a failed write (a full disk, a file-size limit, a vanished
// directory) leaves the previous file as it was. The new file keeps the
// target's permissions.
class AtomicFile {
public:
    explicit AtomicFile(const std::string& target);
    // An uncommitted file is removed.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // The stream to write to; null when no file can be made beside the
    // target, or the target is there but no writable regular file.
    FILE* open();
    // Puts the written file in the target's place; false, with the target
    // unchanged, when any write, the sync or the rename failed.
    bool commit();

    const std::string& target() const { return _target; }

private:
    void discard();

    std::string _target;
    std::string _temp;
    FILE* _fd;
};

#endif
