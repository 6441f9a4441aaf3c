#ifndef TESTS_SUPPORT_KVTESTPACK_H
#define TESTS_SUPPORT_KVTESTPACK_H

// Revision packs for the upgrade tests, written through the pack database's
// own entry access: one application image and its second-stage boot loaders
// (by default hardware "00" and "49"), the pack's name carrying its checksum.

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "korprog/progctrl/Data/RevPackDb.h"

struct KvTestPack {
    std::string bin = "app.bin";
    std::string type = "KV8888GM-ED";
    std::string data;
    std::string adn;                // a settings file the image carries
    std::vector<std::string> rows;  // restriction rows after "4.**;D.**"
    // The second-stage boot loaders by processor: "00" (200 bytes 0x30) and
    // "49" (300 bytes 0x49); a pack made from one BOOT_LOAD_...49.bin holds only "49".
    std::vector<std::string> loaders = {"00", "49"};
    // Every loader this many bytes instead (0: the sizes above): a pack made
    // elsewhere may carry one the unit's frame has no room for.
    size_t loaderSize = 0;

    // Writes the pack `name` into dir; returns the name to select it by.
    std::string write(const std::string& dir, const std::string& name) const
    {
        namespace fs = std::filesystem;
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
            for (const std::string& hw : loaders) {
                const char fill = hw == "49" ? '\x49' : '\x30';
                add("BOOT_LOAD_" + hw + ".bin", std::string(loaderSize ? loaderSize : hw == "49" ? 300 : 200, fill),
                    hw.c_str());
            }
            add(bin, data, "D.49");
            db.setEntry(bin.c_str(), RevPackDb::BIN_TYPE, type.c_str());
            db.setEntry(bin.c_str(), RevPackDb::BIN_VERSION, versionOf(data).c_str());
            db.setEntry(bin.c_str(), RevPackDb::BIN_SPECIAL, "     ");
            if (!adn.empty()) {
                db.setEntry(bin.c_str(), RevPackDb::ADN_FILE, "settings.adn");
                db.setEntry(bin.c_str(), RevPackDb::ADN_SIZE, static_cast<int>(adn.size()));
                db.setEntry(bin.c_str(), RevPackDb::ADN_DATA, adn.data(), static_cast<int>(adn.size()));
            }
            std::vector<std::string> all = {"4.**;D.**"};
            all.insert(all.end(), rows.begin(), rows.end());
            for (size_t i = 0; i < all.size(); ++i)
                db.setEntry(RevPackDb::HWSWLIST, std::to_string(i + 1).c_str(), all[i].c_str());
            db.clearDb();
        }
        const fs::path file = fs::path(dir) / (name + ".rpa");
        RevPackDb check(nullptr, dir.c_str());
        char sum[8];
        std::snprintf(sum, sizeof sum, "%04x", check.readCheckSum(file.c_str()));
        const std::string named = name + "[" + sum + "]";
        fs::rename(file, fs::path(dir) / (named + ".rpa"));
        return named;
    }

    // An image of size bytes whose version marker names version, and type
    // when given (korvansim becomes that type).
    static std::string image(size_t size, const std::string& version = "KV-4.20", const std::string& type = "")
    {
        std::string d;
        for (size_t i = 0; i < size; ++i) d += static_cast<char>('A' + i % 23);
        if (size >= 120) d.replace(100, 16, "VERSION: " + version);
        if (size >= 140 && !type.empty()) d.replace(120, 6 + type.size(), "TYPE: " + type);
        return d;
    }
    // The version an image of image() names, as a pack built from it declares
    // it (the unit reports that one after the upgrade); "KV-4.20" without.
    static std::string versionOf(const std::string& data)
    {
        const std::string marker = "VERSION: ";
        return data.size() >= 116 && data.compare(100, marker.size(), marker) == 0 ? data.substr(109, 7) : "KV-4.20";
    }
    // The image as the unit stores it: whole packets, padded with 0xFF.
    static std::string padded(std::string data)
    {
        while (data.size() % 128) data += '\xFF';
        return data;
    }
};

#endif
