#ifndef KORPROG_RUNLOG_SHA256_H
#define KORPROG_RUNLOG_SHA256_H

#include <cstddef>
#include <cstdint>
#include <string>

// SHA-256 (FIPS 180-4) of a byte stream, fed in pieces of any size. The run
// record names the settings file, pack and image it used by this digest.
class Sha256 {
public:
    static const int DIGEST_SIZE = 32;

    Sha256();
    void update(const void* data, size_t nrBytes);
    // Ends the stream; the digest as 64 lowercase hex digits. Once called,
    // the object is finished: start a new one for another stream.
    std::string hexDigest();

    static std::string ofBytes(const void* data, size_t nrBytes);
    // Reads the file in pieces (any size, never all of it at once). False,
    // with the system's reason in *error, when it cannot be read.
    static bool ofFile(const std::string& path, std::string* hex, std::string* error);

private:
    void block(const uint8_t* p);

    uint32_t _h[8];
    uint8_t _buf[64];
    size_t _bufLen;
    uint64_t _length; // bytes so far
};

#endif
