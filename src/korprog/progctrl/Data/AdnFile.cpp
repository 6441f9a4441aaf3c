#include "korprog/progctrl/Data/AdnFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "korprog/AtomicFile.h"
#include "korprog/Dialog.h"
#include "korprog/StringUtils.h"
#include "korprog/WholeFile.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/Data/SettingBinView.h"

namespace fs = std::filesystem;

namespace {

const char QUOTE = '"';
const char* const NO_SPECIAL = "     ";

// Splits the characters of a file into lines and parts as they come, and
// says what the rule cannot take.
class LineSplitter {
public:
    explicit LineSplitter(AdnFile::Rule rule) : _strict(rule == AdnFile::STRICT) {}

    // One character; false once the file is refused or holds all its lines.
    bool take(int c)
    {
        if (c == '\n') return endLine();
        _any = true;
        if (c == '\0') return refuse("it holds a NUL byte");
        if (c == '\r') return true;
        if (c == QUOTE) {
            if (_strict) return refuse(at() + " " + AdnFile::characterFault(QUOTE, _inNum));
            _line.quoted = true;
            return true;
        }
        if (_strict && ++_length > AdnFile::MAX_LINE)
            return refuse(at() + " is longer than " + std::to_string(AdnFile::MAX_LINE));
        if (!_inNum && c == '|') {
            _inNum = true;
            return true;
        }
        // Each part keeps what fits it, so an over-long text never costs the
        // number.
        std::string& part = _inNum ? _line.number : _line.text;
        const size_t room = _inNum ? SettingBin::MAX_NRS : SettingBin::MAX_TEXT_EXT;
        if (!_inNum && !SettingBin::textMayHold(static_cast<char>(c))) {
            // The window drops these; an unattended run must not send a text
            // other than the file's.
            if (_strict) return refuse(at() + " " + AdnFile::characterFault(static_cast<char>(c), false));
            return true;
        }
        if (part.size() < room) {
            part += static_cast<char>(c);
            return true;
        }
        if (!_strict) return true;
        return refuse(at() + " has a " + (_inNum ? "number" : "text") + " part longer than " + std::to_string(room));
    }

    // The end of the file: its last line may lack its line end.
    bool finish()
    {
        if (_fault.empty() && _any) endLine();
        if (_fault.empty() && _strict && lines.empty()) refuse("it is empty");
        return _fault.empty();
    }

    const std::string& fault() const { return _fault; }

    std::vector<AdnFile::Line> lines;

private:
    bool endLine()
    {
        if (_strict && !_inNum) return refuse(at() + " has no '|'");
        if (static_cast<int>(lines.size()) == AdnFile::LINES)
            return refuse("it has more than " + std::to_string(AdnFile::LINES) + " lines");
        lines.push_back(_line);
        _line = AdnFile::Line();
        _inNum = _any = false;
        _length = 0;
        // The window leaves lines past the last entry unread.
        return _strict || static_cast<int>(lines.size()) < AdnFile::LINES;
    }
    bool refuse(const std::string& fault)
    {
        _fault = fault;
        return false;
    }
    std::string at() const { return "line " + std::to_string(lines.size() + 1); }

    const bool _strict;
    AdnFile::Line _line;
    bool _inNum = false;
    bool _any = false;  // the line under way holds a character
    int _length = 0;
    std::string _fault;
};

}  // namespace

std::string AdnFile::characterFault(char c, bool number)
{
    // The unit's frame ends a part at a double quote: the rest of the line
    // would land in the wrong part or entry.
    if (c == QUOTE) return "holds a '\"', which no setting can carry";
    // The unit's texts have no room for its separators.
    if (!number && !SettingBin::textMayHold(c))
        return std::string("holds a '") + c + "' in its text, which no setting can carry";
    return "";
}

namespace {

std::string notSettings(const std::string& fault) { return "not a settings file (" + fault + ")"; }

}  // namespace

AdnFile::Result AdnFile::read(const std::string& path, Rule rule, std::vector<Line>* lines, std::string* why)
{
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        // Only a name that leads nowhere is missing; a symlink loop or a
        // path through a file is told with the system's reason.
        const bool missing = !ec || ec == std::errc::no_such_file_or_directory;
        *why = missing ? "no such settings file" : "cannot be opened: " + ec.message();
        return CANNOT_OPEN;
    }
    int error = 0;
    const int fd = WholeFile::open(path, WholeFile::ANY_SIZE, &error);
    if (fd < 0 && (error == EINVAL || error == EISDIR)) {
        *why = notSettings("not a plain file");
        return CANNOT_OPEN;
    }
    FILE* f = fd < 0 ? nullptr : ::fdopen(fd, "rb");
    if (!f) {
        if (fd >= 0) ::close(fd);
        *why = "cannot be read";
        return CANNOT_OPEN;
    }
    LineSplitter split(rule);
    int c;
    bool more = true;
    while (more && (c = std::fgetc(f)) != EOF) more = split.take(c);
    const bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (more && !readError) split.finish();
    if (readError || !split.fault().empty()) {
        *why = notSettings(split.fault().empty() ? "it cannot be read" : split.fault());
        return NOT_SETTINGS;
    }
    if (lines) *lines = std::move(split.lines);
    return LOADED;
}

AdnFile::Result AdnFile::load(SettingBin& bin, const std::string& path, Rule rule, std::string* why)
{
    std::vector<Line> lines;
    const Result result = read(path, rule, &lines, why);
    if (result != LOADED) return result;
    bin.cleanUpEntries(false);
    bin.editFromDownload(false);
    bin.file(path.c_str());
    if (bin.frame()) bin.frame()->showBestGroup(path.c_str(), nullptr);
    std::string quoted;  // the entries that held a double quote
    for (size_t i = 0; i < lines.size(); ++i) {
        store(bin, lines[i], static_cast<int>(i + 1));
        if (lines[i].quoted) quoted += (quoted.empty() ? "" : ", ") + std::to_string(i + 1);
    }
    bin.unsavedChanges(false);
    if (!quoted.empty()) {
        const std::string text =
            std::string(gettext("Attentie!! Niet toegestaan teken \" weggelaten bij entry", 0)) + " " + quoted + ".\n";
        Dialog::alert("%s", text.c_str());
    }
    bin.enableEdit();
    return LOADED;
}

void AdnFile::store(SettingBin& bin, const Line& line, int k)
{
    SettingEntry& e = *bin.getEntry(static_cast<uint8_t>(k));
    StringUtils::copyTo(e.text, line.text.c_str());
    StringUtils::copyTo(e.tfnr, line.number.c_str());
    SettingBinView* view = bin.frame();
    if (k == SettingBin::KORTYPE_POS) {
        if (e.text[0] == '\0') StringUtils::copyTo(e.text, SettingBin::DEFAULT_KORTYPE);
        bin.setNetworkTypeEtc(nullptr);
        if (view) view->showBestGroup(nullptr, e.text);
    } else if (k == SettingBin::KORSPECIAL_POS) {
        if (e.text[0] == '\0') {
            StringUtils::copyTo(e.text, NO_SPECIAL);
        } else if (std::strchr(e.text, 'X') && bin.korType()[0] != '\0') {
            const std::string both = std::string(bin.korType()) + "-" + e.text;
            if (view) view->showBestGroup(nullptr, both.c_str());
        }
    } else if (k == SettingBin::IMEI_POS || k == SettingBin::IMSI_POS) {
        e.tfnr[0] = '\0';
    }
}

bool AdnFile::write(const std::string& path, const std::vector<Line>& lines, int* error)
{
    // A failed or interrupted write leaves the previous file as it was.
    AtomicFile out(path);
    FILE* fd = out.open();
    bool written = fd != nullptr;
    for (size_t k = 0; written && k < lines.size(); ++k)
        std::fprintf(fd, "%s|%s\n", lines[k].text.c_str(), lines[k].number.c_str());
    written = written && std::ferror(fd) == 0;
    written = out.commit() && written;
    if (!written) *error = out.error() ? out.error() : EIO;
    return written;
}

std::vector<AdnFile::Line> AdnFile::linesOf(SettingBin& bin)
{
    std::vector<Line> lines(LINES);
    for (int k = 1; k <= LINES; ++k) {
        const SettingEntry& e = *bin.getEntry(static_cast<uint8_t>(k));
        lines[size_t(k - 1)].text = e.text;
        // IMEI and IMSI belong to one unit and are never carried to another.
        const bool unitsOwn = k == SettingBin::IMEI_POS || k == SettingBin::IMSI_POS;
        lines[size_t(k - 1)].number = unitsOwn ? "" : e.tfnr;
    }
    return lines;
}

bool AdnFile::save(SettingBin& bin)
{
    // IMEI and IMSI belong to one unit and are never carried to another.
    bin.getEntry(SettingBin::IMEI_POS)->tfnr[0] = '\0';
    bin.getEntry(SettingBin::IMSI_POS)->tfnr[0] = '\0';

    int error = 0;
    const bool saved = write(bin.file(), linesOf(bin), &error);
    if (saved) bin.unsavedChanges(false);
    if (!saved) saveAlert(bin.file());
    if (bin.frame()) bin.frame()->showBestGroup(nullptr, bin.korType());
    return saved;
}

void AdnFile::saveAlert(const char* path)
{
    const std::string text = std::string(gettext("Fout!! Bestand", 0)) + " \"" + (path ? path : "") + "\" " +
                             gettext("kan niet opgeslagen worden", 0) + ".\n";
    Dialog::alert("%s", text.c_str());
}
