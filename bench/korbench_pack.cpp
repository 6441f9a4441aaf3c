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
    const std::string bin = fs::path(imagePath).filename().string();
    {
        RevPackDb db(nullptr, dir.c_str());
        db.selectDb(name.c_str());
        db.setEntry(RevPackDb::GENERAL, RevPackDb::DB_VERSION, RevPackDb::DB_VERSION_NR);
        db.flush();
        db.selectDb(name.c_str());  // the lists follow the version entry
        auto add = [&db](const std::string& g, const std::string& bytes, const char* hw) {
            db.setEntry(RevPackDb::BINLIST, g.c_str(), g.c_str());
            db.setEntry(g.c_str(), RevPackDb::BIN_SIZE, static_cast<int>(bytes.size()));
            db.setEntry(g.c_str(), RevPackDb::BIN_DATA, bytes.data(), static_cast<int>(bytes.size()));
            db.setEntry(g.c_str(), RevPackDb::BIN_HWVERS, hw);
        };
        add("BOOT_LOAD_00.bin", std::string(200, '\x30'), "00");
        add("BOOT_LOAD_49.bin", std::string(300, '\x49'), "49");
        add(bin, image, "D.49");
        db.setEntry(bin.c_str(), RevPackDb::BIN_TYPE, "KV8888GM-ED");
        db.setEntry(bin.c_str(), RevPackDb::BIN_VERSION, "KV-4.20");
        db.setEntry(bin.c_str(), RevPackDb::BIN_SPECIAL, "     ");
        db.setEntry(RevPackDb::HWSWLIST, "1", "4.**;D.**");
        db.clearDb();
    }
    // A pack is found by its name with its checksum in brackets.
    const fs::path file = fs::path(dir) / (name + ".rpa");
    RevPackDb check(nullptr, dir.c_str());
    char sum[8];
    std::snprintf(sum, sizeof sum, "%04x", check.readCheckSum(file.c_str()));
    const std::string named = name + "[" + sum + "]";
    std::error_code ec;
    fs::rename(file, fs::path(dir) / (named + ".rpa"), ec);
    if (ec) {
        std::fprintf(stderr, "korbench_pack: %s\n", ec.message().c_str());
        return 1;
    }
    std::printf("%s\n", named.c_str());
    return 0;
}
