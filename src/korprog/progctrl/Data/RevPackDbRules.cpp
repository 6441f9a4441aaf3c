// Which images of the open pack may go onto the connected unit: the type
// rules, the hardware rule, the software/hardware rows and the special-build
// codes of the pack's restriction list.

#include <FL/Fl_Output.H>
#include <algorithm>
#include <cstring>

#include "bdebug/BTrace.h"
#include "korprog/Dialog.h"
#include "korprog/StringUtils.h"
#include "korprog/progctrl/Data/RPText.h"
#include "korprog/progctrl/Data/Translated.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Data/RevPackDbOwner.h"

namespace {

// Packs come from elsewhere: every text read from one may be of any length,
// and every comparison stays inside the texts it compares.
char at(const std::string& s, size_t pos) { return RPText::at(s, pos); }

const char* const NO_SPECIAL = "     ";  // five blanks: no special build
const std::string WILDCARD = "****";     // any special build
const size_t SPECIAL_CODE_AT = 12;
const size_t SPECIAL_CODE_LEN = 4;
const size_t SPECIAL_CUT = 3;

// One row of the restriction list, split at ';'.
struct Row {
    std::string entry, value, first, second;
    bool twoParts = false;
    bool isType() const { return value.find("KV") != std::string::npos; }
};

std::vector<Row> restrictionRows(RevPackDb& db)
{
    std::vector<Row> rows;
    const int n = db.nrEntries(RevPackDb::HWSWLIST);
    for (int i = 0; i < n; ++i) {
        Row r;
        r.entry = db.getEntry(RevPackDb::HWSWLIST, i);
        char text[RevPackDb::MAX_TXT_LEN];
        db.getEntry(RevPackDb::HWSWLIST, r.entry.c_str(), text);
        r.value = text;
        const std::vector<std::string> parts = StringUtils::explode(r.value, ";", true);
        r.twoParts = parts.size() == 2;
        if (r.twoParts) {
            r.first = parts[0];
            r.second = parts[1];
        }
        rows.push_back(r);
    }
    return rows;
}

std::string imageEntry(RevPackDb& db, const char* binFile, const char* key)
{
    char text[RevPackDb::MAX_TXT_LEN];
    db.getEntry(binFile, key, text);
    return text;
}

// From position 2 on, a '-' in the unit pattern asks for the same character
// in unit and image; any other character names the unit's character there,
// and the image pattern names the image's. Every position of the two types
// must lie inside both patterns, so a short row (or a short type) allows
// nothing.
bool typeRowHolds(const Row& row, const std::string& act, const std::string& bin)
{
    if (!row.twoParts) return false;
    const size_t end = std::max(act.size(), bin.size());
    if (end <= 2) return false;
    for (size_t p = 2; p < end; ++p) {
        if (p >= act.size() || p >= bin.size() || p >= row.first.size() || p >= row.second.size()) return false;
        if (row.first[p] == '-') {
            if (act[p] != bin[p]) return false;
        } else if (act[p] != row.first[p] || bin[p] != row.second[p]) {
            return false;
        }
    }
    return true;
}

// A character of a version against its pattern: equal, or '*' for any.
bool matches(char have, char pattern) { return have && (have == pattern || pattern == '*'); }

// A row "4.**;B.**" applies to images of major 4 on units of hardware B.
// Without the hardware check only the software half counts.
bool swHwRowApplies(const Row& row, const std::string& version, const std::string& actHw, bool checkHw)
{
    if (!row.twoParts) return false;
    const std::string& sw = row.first;
    const std::string& hw = row.second;
    if (!at(version, 3) || at(version, 3) != at(sw, 0)) return false;
    if (!matches(at(version, 5), at(sw, 2)) || !matches(at(version, 6), at(sw, 3))) return false;
    if (!checkHw) return true;
    return at(actHw, 0) && at(actHw, 0) == at(hw, 0) && matches(at(actHw, 2), at(hw, 2)) &&
           matches(at(actHw, 3), at(hw, 3));
}

// A special build as the codes compare it: five blanks read as the
// wildcard, and only the first three characters count.
std::string specialCode(const std::string& special)
{
    return (special == NO_SPECIAL ? WILDCARD : special).substr(0, SPECIAL_CUT);
}

void dbg(const std::string& text) { BTrace::instance()->dbgPrint(text); }

}  // namespace

bool RevPackDb::binFileAllowed(const char* binFile)
{
    const char* name = binFile ? binFile : "";
    const bool traced = trace(BTrace::HIGH);
    if (traced) dbg(std::string("\n-->RevPackDb::binFileAllowed binfile=") + name);

    const std::string act = _actKorType;
    std::string bin;
    bool allowed = false;
    if (act.empty() && _root && (_root->upgrInitByKor() || _root->refPackFile())) {
        // A unit in its boot loader reports no type: every image is offered.
        allowed = true;
    } else {
        bin = imageEntry(*this, name, BIN_TYPE);
        if (traced) dbg("binType=" + bin + " actType=" + act);
        allowed = !act.empty() && bin == act;
        for (const Row& row : restrictionRows(*this)) {
            if (allowed) break;
            if (!row.isType()) continue;
            if (traced)
                dbg(" entry=" + row.entry + " hwSwType=" + row.value + "hsActual=" + row.first + " hsBin=" + row.second);
            allowed = typeRowHolds(row, act, bin);
        }
    }
    // A unit of another network type needs the image's own settings first.
    // The flag always describes the image checked last.
    _autoProgAdnFile = allowed && !bin.empty() && at(act, 6) != at(bin, 6);
    if (traced) dbg(std::string("<--RevPackDb::binFileAllowed result=") + (allowed ? "1" : "0"));
    return allowed;
}

bool RevPackDb::allowedFromToSpecials(std::vector<std::string>& from, std::vector<std::string>& to)
{
    for (const Row& row : restrictionRows(*this)) {
        if (!row.isType() || !row.twoParts) continue;
        if (row.first.size() < SPECIAL_CODE_AT || row.second.size() < SPECIAL_CODE_AT) continue;
        if (trace(BTrace::MED)) dbg(" hsActual=" + row.first + " hsBin=" + row.second);
        from.push_back(row.first.substr(SPECIAL_CODE_AT, SPECIAL_CODE_LEN));
        to.push_back(row.second.substr(SPECIAL_CODE_AT, SPECIAL_CODE_LEN));
    }
    return !from.empty();
}

bool RevPackDb::checkTypeSwHwVers(const char* binFile)
{
    const char* name = binFile ? binFile : "";
    if (trace(BTrace::HIGH)) dbg(std::string("RevPackDb::checkTypeSwHwVers: binfile=") + name);
    const bool allowed = binFileAllowed(name);
    std::vector<std::string> from, to;
    const bool codes = allowedFromToSpecials(from, to);
    if (!allowed) {
        const std::string binType = imageEntry(*this, name, BIN_TYPE);
        const char* act = _root ? _root->customKorType(_actKorType) : _actKorType;
        const char* bin = _root ? _root->customKorType(binType.c_str()) : binType.c_str();
        Dialog::alert("%s", Translated::message(" Error!!, incompatible korvan types actual:%s, in bin file:%s", act, bin).c_str());
        return false;
    }

    const std::string version = imageEntry(*this, name, BIN_VERSION);
    const std::string binHw = imageEntry(*this, name, BIN_HWVERS);
    const std::string binSpecial = imageEntry(*this, name, BIN_SPECIAL);
    const std::string actHw = _actHwVersion;
    const std::string actSpecial = _actSpecial;

    // The hardware rule: the image's letter may be higher than the unit's,
    // its processor digits must be the same.
    if (CHECK_HARDWARE) {
        if (binHw.empty() || actHw.empty()) {
            Dialog::alert("%s", Translated::message("Error !!, hardware versions not detected, binFile:%s korvan:%s",
                                                binHw.c_str(), actHw.c_str()).c_str());
            return false;
        }
        if (at(binHw, 0) < at(actHw, 0) || !at(binHw, 2) || at(binHw, 2) != at(actHw, 2) || !at(binHw, 3) ||
            at(binHw, 3) != at(actHw, 3)) {
            Dialog::alert("%s", Translated::message("Error !!, incompatible hardware versions, binFile:%s korvan:%s",
                                                binHw.c_str(), actHw.c_str()).c_str());
            return false;
        }
    }

    bool applies = false;
    for (const Row& row : restrictionRows(*this))
        if (!row.isType() && swHwRowApplies(row, version, actHw, CHECK_HARDWARE)) {
            applies = true;
            break;
        }

    // The special build decides the same way for every row that applies.
    const bool traced = trace(BTrace::MED);
    if (traced)
        dbg(" actSpecial=" + actSpecial + " binSpec=" + binSpecial + " specials upd in revpack=" +
            std::to_string(from.size()));
    bool ok = false;
    if (applies && actSpecial.empty()) {
        ok = true;
    } else if (applies && codes) {
        const std::string act = specialCode(actSpecial), bin = specialCode(binSpecial);
        const std::string any = WILDCARD.substr(0, SPECIAL_CUT);
        for (size_t i = 0; i < from.size() && !ok; ++i) {
            const std::string f = from[i].substr(0, SPECIAL_CUT), t = to[i].substr(0, SPECIAL_CUT);
            if (traced) dbg(" from=" + f + " to=" + t + " ckActSpec=" + act + " ckBinSped=" + bin);
            ok = (f == act && t == bin) || (f == any && t == bin) || (f == act && t == any);
        }
    } else if (applies) {
        ok = !binSpecial.empty() && binSpecial.substr(0, SPECIAL_CUT) == actSpecial.substr(0, SPECIAL_CUT);
    }
    if (!ok) Dialog::alert("%s", Translated::message("Error !!, not able to upgrade due restrictions or incompatibility.").c_str());
    return ok;
}

std::string RevPackDb::allowedHwList(const char* binFile)
{
    const std::string version = imageEntry(*this, binFile, BIN_VERSION);
    const std::string minor = version.size() > 3 ? version.substr(3) : "";
    std::vector<std::string> found;
    const int n = nrEntries(HWSWLIST);
    for (int k = 1; k <= n; ++k) {
        char text[MAX_TXT_LEN];
        if (!getEntry(HWSWLIST, std::to_string(k).c_str(), text)) continue;
        const std::string value = text;
        const size_t semi = value.find(';');
        if (semi == std::string::npos) continue;
        // The pattern counts up to its first '*'.
        const std::string sw = value.substr(0, std::min<size_t>(4, semi));
        const size_t significant = std::min(sw.find('*'), sw.size());
        const std::string hw = value.substr(semi + 1, 4);
        if (hw.empty() || minor.size() < significant || minor.compare(0, significant, sw, 0, significant) != 0) continue;
        if (std::find(found.begin(), found.end(), hw) == found.end()) found.push_back(hw);
    }
    std::string line;
    for (const std::string& hw : found) line += " " + hw;
    return line;
}

void RevPackDb::fillAllowedHwList(const char* binFile, Fl_Output* out)
{
    if (out) out->value(allowedHwList(binFile).c_str());
}
