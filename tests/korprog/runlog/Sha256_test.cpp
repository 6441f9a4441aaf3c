// SHA-256 against the standard test vectors, fed whole, in awkward pieces
// and from files.

#include "korprog/runlog/Sha256.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Vector {
    std::string message;
    const char* digest;
};

const Vector VECTORS[] = {
    {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
     "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
    {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
};

} // namespace

TEST(Sha256, StandardVectorsWholeAndInPiecesAcrossBlockEdges)
{
    const size_t pieces[] = {1, 63, 64, 65, 7, 128, 55, 56, 57};
    for (const Vector& v : VECTORS) {
        EXPECT_EQ(v.digest, Sha256::ofBytes(v.message.data(), v.message.size())) << v.message.size() << " bytes";
        Sha256 s;
        size_t at = 0;
        for (int k = 0; at < v.message.size(); ++k) {
            const size_t n = std::min(pieces[k % 9], v.message.size() - at);
            s.update(v.message.data() + at, n);
            at += n;
        }
        EXPECT_EQ(v.digest, s.hexDigest()) << v.message.size() << " bytes in pieces";
    }
}

TEST(Sha256, FilesAreReadInPiecesAndAFileThatCannotBeReadSaysWhy)
{
    char dir[] = "/tmp/kpsha.XXXXXX";
    ASSERT_NE(nullptr, ::mkdtemp(dir));
    const std::string big = std::string(dir) + "/big.bin";
    std::ofstream(big, std::ios::binary) << VECTORS[4].message;

    std::string hex, error;
    EXPECT_TRUE(Sha256::ofFile(big, &hex, &error)) << error;
    EXPECT_EQ(VECTORS[4].digest, hex);
    EXPECT_FALSE(Sha256::ofFile(std::string(dir) + "/missing.bin", &hex, &error));
    EXPECT_EQ("No such file or directory", error);
    EXPECT_FALSE(Sha256::ofFile(dir, &hex, &error));
    EXPECT_EQ("Is a directory", error);

    ::unlink(big.c_str());
    ::rmdir(dir);
}
