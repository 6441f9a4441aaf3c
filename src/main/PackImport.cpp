#include "main/PackImport.h"

#include <FL/filename.H>

#include <cstdint>
#include <cstring>
#include <filesystem>

#include "bdebug/BTrace.h"
#include "korprog/AtomicFile.h"
#include "korprog/Dialog.h"
#include "korprog/WholeFile.h"
#include "korprog/progctrl/Data/RPFileCheck.h"
#include "korprog/progctrl/Data/Translated.h"
#include "korprog/progctrl/Data/RevPackDb.h"

namespace fs = std::filesystem;

namespace {

void trace(const std::string& text) { BTrace::instance()->dbgPrint(text, true, true); }

PackImport::Result copyFailed(const std::string& name, const std::string& dir, int error)
{
    const std::string text =
        Translated::message("Revisiepakket \"%s\" kan niet gekopieerd worden naar %s: %s.", name.c_str(), dir.c_str(),
                        std::strerror(error));
    trace(text);
    Dialog::alert("%s", text.c_str());
    return PackImport::FAILED;
}

}  // namespace

bool PackImport::verifies(const std::string& name, const std::string& bytes)
{
    return RevPackDb::sumHolds(name, bytes) && RPFileCheck::wellFormed(bytes);
}

PackImport::Result PackImport::copy(const std::string& from, const std::string& dir)
{
    const std::string name = fs::path(from).filename().string();
    const fs::path to = fs::path(dir) / name;
    trace("copy \"" + from + "\" \"" + to.string() + "\"");
    std::string bytes, stored;
    int error = 0;
    // No pack is larger than a pack may be: a larger file is not read in.
    if (!WholeFile::read(from, bytes, &error, RPFileCheck::MAX_FILE)) return copyFailed(name, dir, error);
    if (WholeFile::read(to.string(), stored, nullptr, RPFileCheck::MAX_FILE)) {
        if (stored == bytes) return SAME;
        if (verifies(name, stored) && !verifies(name, bytes)) {
            const std::string text =
                Translated::message("Revisiepakket \"%s\" klopt niet met zijn checksum: het bewaarde pakket blijft.",
                                name.c_str());
            trace(text);
            Dialog::alert("%s", text.c_str());
            return KEPT;
        }
    }
    AtomicFile out(to.string());
    if (!out.write(bytes.data(), bytes.size())) return copyFailed(name, dir, out.error());
    return PLACED;
}

int PackImport::moveOld(const std::string& oldDir, const std::string& dir)
{
    std::error_code ec;
    if (!fs::is_directory(oldDir, ec) || fs::equivalent(oldDir, dir, ec)) return 0;
    dirent** list = nullptr;
    const int n = fl_filename_list(oldDir.c_str(), &list, fl_numericsort);
    int moved = 0;
    for (int k = 0; k < n; ++k) {
        const char* name = list[k]->d_name;
        const fs::path from = fs::path(oldDir) / name;
        if (!RevPackDb::isPackFile(name) || !fs::is_regular_file(from, ec)) continue;
        trace("move \"" + from.string() + "\" \"" + dir + "\"");
        const Result r = copy(from.string(), dir);
        if ((r == PLACED || r == SAME) && fs::remove(from, ec)) ++moved;
    }
    if (n > 0) fl_filename_free_list(&list, n);
    return moved;
}
