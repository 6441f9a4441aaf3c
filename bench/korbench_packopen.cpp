// Opening revision packs: a pack with an image of 100 KB opened and its
// image loaded, and what is refused before it is read (a value of 5 MB, a
// restriction list of 20,000 rows). Prints one line per case, the median
// of its runs in milliseconds:
//
//   korbench_packopen            # open_100k_ms=... long_value_ms=... many_rows_ms=...

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "korprog/progctrl/Data/RevPackDb.h"
#include "support/KvTestPack.h"

namespace fs = std::filesystem;

namespace {

double medianMs(int runs, const std::function<void()>& run)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        run();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

void writeText(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

}  // namespace

int main()
{
    char tmpl[] = "/tmp/korbench-pack-XXXXXX";
    if (!::mkdtemp(tmpl)) return 1;
    const fs::path dir = tmpl;
    ::setenv("XDG_RUNTIME_DIR", tmpl, 1);  // the staging of opened packs
    std::unique_ptr<RevPackDb> db(new RevPackDb(nullptr, tmpl));
    db->sleepFunc(nullptr);

    KvTestPack pack;
    pack.data = KvTestPack::image(100 * 1024);
    const std::string name = pack.write(dir.string(), "KV-bench") + ".rpa";
    int loaded = 0;
    const double open = medianMs(21, [&] {
        db->selectRpFile(name.c_str());
        db->setBinData(pack.bin.c_str());
        loaded = db->binSize();
        db->clearDb();
    });

    // One value of 5 MB: continuation lines of 80 characters.
    const std::string header = "; FLTK preferences file format 1.0\n; vendor: RevPacks\n; application: x\n\n[.]\n\n";
    std::string text = header + "[./a]\n\ndata:";
    text += std::string(60, '0') + "\n";
    for (size_t n = 0; n < 5u * 1024 * 1024; n += 80) text += "+" + std::string(80, '0') + "\n";
    writeText(dir / "long.rpa", text);
    const double longValue = medianMs(5, [&] {
        db->selectRpFile("long.rpa");
        db->clearDb();
    });

    text = header + "[./HwSwRestrictionList]\n\n";
    for (int i = 1; i <= 20000; ++i) text += std::to_string(i) + ":4.**;B.**\n";
    writeText(dir / "rows.rpa", text);
    const double manyRows = medianMs(5, [&] {
        db->selectRpFile("rows.rpa");
        db->clearDb();
    });

    db.reset();
    std::error_code ec;
    fs::remove_all(dir, ec);
    if (loaded != 100 * 1024) {
        std::fprintf(stderr, "korbench_packopen: the image was not read back (%d bytes)\n", loaded);
        return 1;
    }
    std::printf("open_100k_ms=%.3f\nlong_value_ms=%.3f\nmany_rows_ms=%.3f\n", open, longValue, manyRows);
    return 0;
}
