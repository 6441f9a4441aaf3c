#ifndef KORVANSIM_KSIMPTY_H
#define KORVANSIM_KSIMPTY_H

#include <string>

// The simulator's end of a pseudo-terminal. The program opens the other end
// (the device path, or a symbolic link to it) as its serial port. The
// simulator does not keep that end open itself, so it can tell when the
// program has the port open: the master then stops reporting a hang-up.
class KsimPty {
public:
    KsimPty();
    ~KsimPty();
    KsimPty(const KsimPty&) = delete;
    KsimPty& operator=(const KsimPty&) = delete;

    // Opens the pair in raw mode; false with *error on failure.
    bool open(std::string* error);
    // Makes `path` a symbolic link to the device. An existing symbolic link
    // there is replaced; any other file is left alone and refused.
    bool makeLink(const std::string& path, std::string* error);
    // Removes the link if it still points to this device.
    void removeLink();
    // Removes the link and closes the terminal, as when an adapter is pulled
    // out; open() and makeLink() bring a new one.
    void close();

    const std::string& device() const { return _device; }
    int fd() const { return _master; }
    // True while the program has the other end open.
    bool peerOpen() const;
    // Non-blocking read and write; -1 on error or nothing to read.
    int read(char* buffer, int size);
    int write(const char* bytes, int size);

private:
    int _master;
    std::string _device;
    std::string _link;
};

#endif
