#ifndef KORPROG_ATOMICFILE_H
#define KORPROG_ATOMICFILE_H

#include <cstddef>
#include <cstdio>
#include <string>

// A file written beside its target and renamed over it once every byte is
// on disk: a reader sees the previous file or the new one, never part of
// one, and a failed write (a full disk, a file-size limit, a vanished
// directory) leaves the previous file as it was. The new file keeps the
// target's permissions. A target that is a symbolic link stays one: the
// file it points to (through any chain of links) is the one replaced.
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
    // open, the bytes, commit.
    bool write(const void* data, size_t size);

    // The errno of the last failure of open or commit (0 when none).
    int error() const { return _error; }

    // Whether a file name is one of our files under way: a name we write
    // (LEFTOVER_OF) with the six characters mkstemp adds.
    static bool isTemporary(const std::string& name);
    // Removes the files under way in dir that a killed process left: ours
    // by name, regular, and held by no writer (each is locked while it is
    // written). Returns how many were removed.
    static int removeLeftovers(const std::string& dir);

private:
    void discard();
    void unlock();
    bool fail(int error);

    std::string _target;
    // The file actually replaced: the target, or the end of its links.
    std::string _path;
    std::string _temp;
    FILE* _fd;
    int _lock;  // a second descriptor of the file under way, locked until it is renamed or gone
    int _error;
};

#endif
