// Writes a revision pack for the upgrade benchmark: one application image
// for the simulator's default unit and second-stage boot loaders for both
// processor versions. Prints the name to give -revpack.
//
//   korbench_pack DIR NAME IMAGE

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "korprog/progctrl/Data/RevPackDb.h"
#include "support/KvTestPack.h"

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s DIR NAME IMAGE\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1], name = argv[2], imagePath = argv[3];
    std::ifstream in(imagePath, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string image = ss.str();
    if (!in || image.empty() || image.size() > size_t(RevPackDb::MAX_BINFILE_SIZE)) {
        std::fprintf(stderr, "korbench_pack: %s: missing, empty or larger than %d bytes\n", imagePath.c_str(),
                     RevPackDb::MAX_BINFILE_SIZE);
        return 1;
    }
    // The tests' pack writer: the same images, boot loaders and naming.
    KvTestPack pack;
    pack.bin = fs::path(imagePath).filename().string();
    pack.data = image;
    std::string named;
    try {
        named = pack.write(dir, name);
    } catch (const fs::filesystem_error& e) {
        std::fprintf(stderr, "korbench_pack: %s\n", e.what());
        return 1;
    }
    std::printf("%s\n", named.c_str());
    return 0;
}
