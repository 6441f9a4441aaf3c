#include "korprog/progctrl/Data/SettingBin.h"

#include <cstdio>
#include <cstring>
#include <fstream>

#include "bdebug/BAssert.h"
#include "bdebug/BTrace.h"
#include "korprog/Dialog.h"
#include "korprog/RunMode.h"
#include "korprog/StringUtils.h"
#include "korprog/progctrl/Data/AdnFile.h"
#include "korprog/progctrl/Data/KorTypeNames.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/SettingBinOwner.h"
#include "korprog/progctrl/Data/SettingBinView.h"

const char* const SettingBin::DEFAULT_KORTYPE = "KV8888GM-ED";
const char* const SettingBin::LAYOUT_TABLE = "config.csv";
uint8_t SettingBin::_maxKorEntries = SettingBin::MAX_ENTRIES;
// '|' separates the parts in a settings file; a double quote would end the
// part on the wire, which has no escaping.
const char SettingBin::_txtNotAllowedChars[] = ";/|\"";

static_assert(SettingEntry::TEXT_SIZE == SettingBin::MAX_TEXT_EXT + 1, "text part size");
static_assert(SettingEntry::NR_SIZE == SettingBin::MAX_NRS + 1, "number part size");

namespace {

const uint16_t TRACE_ENTRY = 0x40;
const uint16_t TRACE_MAXTEXT = 0x70;
const uint8_t LAST_ENTRY = SettingBin::MAX_ENTRIES - 1;

// The character at pos, or '\0' past the end of the text.
char charAt(const char* s, size_t pos) { return std::strlen(s) > pos ? s[pos] : '\0'; }

uint8_t digitAt(const char* s, size_t pos)
{
    const char c = charAt(s, pos);
    return (c >= '0' && c <= '9') ? static_cast<uint8_t>(c - '0') : 0;
}

// A line break inside a part would start a new line of the settings file
// and move every later entry: it is kept as a blank.
char unbroken(char c) { return c == '\r' || c == '\n' ? ' ' : c; }

const char QUOTE = '"';

// A character for a report; nothing for a missing one.
std::string shown(char c) { return c ? std::string(1, c) : std::string(); }

}  // namespace

SettingBin::SettingBin(SettingBinOwner* root)
    : _root(root),
      _nrIn(0),
      _nrUin(0),
      _nrIin(0),
      _nrOut(0),
      _networkType(UNDEF_TP),
      _repFunc(UNDEF_FNC),
      _pwrOption(UNDEF_PWR),
      _frame(nullptr),
      _korTypeNames(nullptr),
      _editFromDownload(false),
      _doProgramming(false),
      _progPreUpgrade(false),
      _unsavedChanges(false)
{
    _korType[0] = _korSwVer[0] = _korSpecial[0] = _korHwVer[0] = _korEmi[0] = _lastUnitType[0] = '\0';
}

SettingBin::~SettingBin() = default;

uint16_t SettingBin::traceLevel() const { return _root ? _root->traceLevel() : 0; }

bool SettingBin::setEntry(uint8_t nr, const char* txt, const char* num, bool fromDnld, SBEntry::EntryType type)
{
    if (nr > LAST_ENTRY) {
        B_ASSERT(nr <= LAST_ENTRY, "setEntry: entry " << int(nr) << " outside the table");
        return false;
    }
    const uint16_t lvl = traceLevel();
    const uint8_t maxText = textFieldSize(nr, type);
    if (lvl & TRACE_ENTRY) {
        BTrace::instance()->dbgPrint(std::string("SettingBin::setEntry eNr=") + std::to_string(nr) + " txt=\"" +
                                         (txt ? txt : "") + "\" nr=\"" + (num ? num : "") + "\"",
                                     true, true);
    }
    if (lvl & TRACE_MAXTEXT) BTrace::instance()->dbgPrint(" maxText=" + std::to_string(maxText), false, true);

    bool whole = true;
    SettingEntry& e = _entryArr[nr];
    const SettingEntry before = e;
    if (txt) {
        size_t len = std::strlen(txt);
        if (len > maxText) {
            if (!fromDnld) tooLongAlert(nr, 'T', maxText, "karakters");
            len = maxText;
            whole = false;
        }
        storeText(e.text, txt, len);
    }
    if (num) {
        size_t len = std::strlen(num);
        if (len > MAX_NRS) {
            if (!fromDnld) tooLongAlert(nr, 'N', MAX_NRS, "nummers");
            len = MAX_NRS;
            whole = false;
        }
        storeNumber(e.tfnr, num, len);
    }
    if (!fromDnld && (std::strcmp(before.text, e.text) != 0 || std::strcmp(before.tfnr, e.tfnr) != 0))
        _unsavedChanges = true;
    if (fromDnld) {
        // A download always takes type and special from the unit's own report.
        if (nr == KORTYPE_POS) StringUtils::copyTo(e.text, _korType);
        if (nr == KORSPECIAL_POS) StringUtils::copyTo(e.text, _korSpecial);
    }
    if (nr == KORTYPE_POS) setNetworkTypeEtc(nullptr);
    return whole;
}

void SettingBin::tooLongAlert(uint8_t nr, char list, int max, const char* unit) const
{
    Dialog::alert("%s %s, \"%s\": %s %d %s.", gettext("Attentie!!", 0), gettext("Veldnaam", 0),
                  sbEntryTitle(nr, list).c_str(), gettext("maximum", 0), max, gettext(unit, 0));
}

void SettingBin::storeText(char (&text)[SettingEntry::TEXT_SIZE], const char* src, size_t len)
{
    // Forbidden characters are dropped and the gap closed.
    size_t n = 0;
    for (size_t i = 0; i < len && n < MAX_TEXT_EXT; ++i)
        if (textMayHold(src[i])) text[n++] = unbroken(src[i]);
    text[n] = '\0';
}

bool SettingBin::textMayHold(char c) { return c != '\0' && !std::strchr(_txtNotAllowedChars, c); }

void SettingBin::storeNumber(char (&nr)[SettingEntry::NR_SIZE], const char* src, size_t len)
{
    size_t n = 0;
    for (size_t i = 0; i < len && n < MAX_NRS; ++i)
        if (src[i] != QUOTE) nr[n++] = unbroken(src[i]);
    nr[n] = '\0';
}

SettingBin::SettingEntry* SettingBin::getEntry(uint8_t nr)
{
    B_ASSERT(nr <= LAST_ENTRY, "getEntry: entry " << int(nr) << " outside the table");
    return nr <= LAST_ENTRY ? &_entryArr[nr] : nullptr;
}

bool SettingBin::validEntry(uint8_t nr) const { return nr <= _maxKorEntries; }

void SettingBin::storeStatusInfo(const char* type, const char* swVer, const char* special, const char* hwVer,
                                 const char* emi)
{
    if (!type) type = "";
    // A unit that went away (no type) leaves its settings to the editor.
    if (type[0] != '\0' && _lastUnitType[0] != '\0' && std::strcmp(type, _lastUnitType) != 0 &&
        dropForOtherUnit(type)) {
        cleanUpEntries(true);
        _unsavedChanges = false;
        // Nothing of the old file is left: neither its name nor its type,
        // and saving must not default to it.
        _file.clear();
        if (_frame) {
            _frame->editClose();
            _frame->showBestGroup("", "");
        }
    }
    if (type[0] != '\0') StringUtils::copyTo(_lastUnitType, type);
    StringUtils::copyTo(_korType, type);
    StringUtils::copyTo(_korSwVer, swVer);
    StringUtils::copyTo(_korSpecial, special);
    StringUtils::copyTo(_korHwVer, hwVer);
    StringUtils::copyTo(_korEmi, emi);
    _nrIn = digitAt(_korType, NRIN_POS);
    _nrUin = digitAt(_korType, NR_U_IN_POS);
    _nrIin = digitAt(_korType, NR_I_IN_POS);
    _nrOut = digitAt(_korType, NROUT_POS);
    if (_korType[0] != '\0') setNetworkTypeEtc(_korType);
    if (_frame) _frame->showKorvanGroup(_korType, _korSwVer, _korSpecial, _korHwVer, _korEmi);
}

bool SettingBin::dropForOtherUnit(const char* type)
{
    if (!_unsavedChanges) return true;  // what they hold is in a file or in the other unit
    const std::string lead =
        std::string(gettext("Attentie!! Er is een Korvan van een ander type aangesloten", 0)) + ": \"" + type + "\".\n";
    const UnsavedAnswer answer = askUnsaved(lead, "");
    if (answer == DROP_EDITS) return true;
    // Kept, they are settings of their own type, as if opened from a file.
    _editFromDownload = false;
    if (answer == SAVE_EDITS && _frame) _frame->offerSave();
    return false;
}

SettingBin::UnsavedAnswer SettingBin::askUnsaved(const std::string& lead, const std::string& consequence)
{
    const std::string question = lead + gettext("De instellingen in het venster zijn nog niet opgeslagen", 0) + ".\n" +
                                 consequence + gettext("Wilt u ze behouden, opslaan of verwerpen?", 0) + "\n";
    const int answer = Dialog::choice(question.c_str(), gettext("Behouden", 0), gettext("Opslaan", 0),
                                      gettext("Verwerpen", 0), KEEP_EDITS);
    return answer == SAVE_EDITS ? SAVE_EDITS : answer == DROP_EDITS ? DROP_EDITS : KEEP_EDITS;
}

void SettingBin::totalNrEntries(uint8_t n)
{
    if (n > LAST_ENTRY) {
        char text[512];
        std::snprintf(text, sizeof text, "%s%d\n%s %d %s\n", gettext("Attentie!! Korvan bevat teveel data. #entries=", 0),
                      n, gettext("Maximaal mogelijk", 0), int(MAX_ENTRIES), gettext("entries", 0));
        Dialog::alert("%s", text);
        return;
    }
    _maxKorEntries = n;
}

void SettingBin::enableEdit()
{
    if (_frame) _frame->createSettingEdit();
}

void SettingBin::file(const char* path) { _file = path ? path : ""; }

void SettingBin::korTypeFromNew(const char* customType, const char* special, bool cleanup)
{
    const char* standard = customType ? customType : "";
    if (_korTypeNames) standard = _korTypeNames->ombrixKorType(standard);
    const SettingEntry type = _entryArr[KORTYPE_POS];
    StringUtils::copyTo(_entryArr[KORTYPE_POS].text, standard, MAX_TEXT);
    StringUtils::copyTo(_entryArr[KORSPECIAL_POS].text, special, MAX_TEXT);
    setNetworkTypeEtc(nullptr);
    // New settings start clean; a type typed in is an edit.
    if (cleanup)
        _unsavedChanges = false;
    else if (std::strcmp(type.text, _entryArr[KORTYPE_POS].text) != 0)
        _unsavedChanges = true;
    if (cleanup) cleanUpEntries(false);
    enableEdit();
}

bool SettingBin::checkKorTypes()
{
    // A run that answers for itself programs the settings as they are.
    if (RunMode::unattended()) return true;
    if (korType()[0] == '\0') return false;
    if (std::strcmp(korType(), _korType) == 0 || _progPreUpgrade) return true;
    Dialog::beep();
    const std::string question = std::string(gettext("Attentie!! Korvan Type", 0)) + " \"" + korType() + "\" " +
                                 gettext("in Bestand verschilt met", 0) + "\n" +
                                 gettext("Verbonden Korvan Type", 0) + " \"" + _korType + "\" !! \n" +
                                 gettext("Wilt u doorgaan met programmeren?", 0) + "\n";
    return Dialog::choice(question.c_str(), gettext("Nee", 0), gettext("JA", 0), nullptr) == 1;
}

SettingBin::NetworkType SettingBin::networkOf(char c)
{
    switch (c) {
    case 'G': return GSM;
    case 'I':
    case 'N':
    case 'W': return GPRS;
    case 'P': return PSTN;
    default: return UNDEF_TP;
    }
}

uint8_t SettingBin::textFieldSize(uint8_t nr, SBEntry::EntryType) const
{
    NetworkType nt;
    if (_editFromDownload)
        nt = _networkType;
    else if (korType()[0] == '\0')
        nt = UNDEF_TP;
    else
        nt = networkOf(charAt(korType(), NWTP_POS));
    return fieldSize(nt, nr);
}

uint8_t SettingBin::unitTextFieldSize(uint8_t nr) const
{
    if (_korType[0] == '\0') return textFieldSize(nr, SBEntry::INVALID_TYPE);
    return fieldSize(networkOf(charAt(_korType, NWTP_POS)), nr);
}

uint8_t SettingBin::fieldSize(NetworkType nt, uint8_t nr)
{
    switch (nt) {
    case GSM: return nr % 10 == 1 ? MAX_TEXT_EXT : MAX_TEXT;
    case GPRS:
        if (nr == 2) return MAX_TEXT_EXT;
        if (nr == 4 || nr == 6 || nr == 8 || nr == 60) return 24;
        return MAX_TEXT;
    default: return MAX_TEXT;
    }
}

bool SettingBin::entrySupported(uint8_t nr, char list) const
{
    if (!_editFromDownload) return true;
    // Units of hardware G and older cannot take these parts once set.
    const bool oldHw = _korHwVer[0] != '\0' && _korHwVer[0] <= 'G';
    if (nr == 2 && charAt(_korType, NWTP_POS) == 'W' && oldHw && list == 'N')
        return _doProgramming && _entryArr[2].tfnr[0] == '\0';
    if (nr == 80 && oldHw) return _doProgramming && _entryArr[80].tfnr[0] == '\0';
    return true;
}

void SettingBin::setSbEntry(SBEntry* sbEntry)
{
    if (!sbEntry || sbEntry->entry() < 0 || sbEntry->entry() > LAST_ENTRY) return;
    SettingEntry& e = _entryArr[sbEntry->entry()];
    if (sbEntry->list() == 'T')
        e.sbEntryT = sbEntry;
    else
        e.sbEntryN = sbEntry;
}

std::string SettingBin::sbEntryTitle(uint8_t nr, char list) const
{
    const SBEntry* d = nullptr;
    if (nr <= LAST_ENTRY) d = list == 'N' ? _entryArr[nr].sbEntryN : _entryArr[nr].sbEntryT;
    if (d) return std::string(d->tabName()) + ", " + d->name();
    // No editor (an unattended run, a closed editor): the table names it.
    const std::string title = titleFromTable(nr, list);
    if (!title.empty()) return title;
    return std::string(gettext("instelling", 0)) + " " + std::to_string(nr);
}

std::string SettingBin::titleFromTable(uint8_t nr, char list) const
{
    std::string tab, name;
    return tableRow(nr, list, &tab, &name) ? tab + ", " + name : "";
}

std::string SettingBin::labelFromTable(uint8_t nr, char list) const
{
    std::string tab, name;
    return tableRow(nr, list, &tab, &name) ? name : "";
}

bool SettingBin::tableRow(uint8_t nr, char list, std::string* tab, std::string* name) const
{
    std::ifstream table(LAYOUT_TABLE);
    std::string line;
    while (std::getline(table, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // Rows are parsed (and translated) for the settings type, as the
        // editor does.
        const SBEntry row(line.c_str(), const_cast<SettingBin*>(this));
        if (row.entryType() != SBEntry::INVALID_TYPE && row.entry() == nr && (row.list() == 'N') == (list == 'N')) {
            *tab = row.tabName();
            *name = row.name();
            return true;
        }
    }
    return false;
}

void SettingBin::setNetworkTypeEtc(const char* type)
{
    // A given type (the connected unit's) counts even while the settings
    // type is still empty; otherwise the settings type decides.
    if (!type) {
        if (korType()[0] == '\0') return;
        type = korType();
    }
    const char nw = charAt(type, NWTP_POS);
    _networkType = networkOf(nw);
    if (_networkType == UNDEF_TP) B_ASSERT(false, "unknown networktype '" << shown(nw) << "'");

    switch (charAt(type, REPFNC_POS)) {
    case 'M': _repFunc = MODEM_SMS; break;
    case 'S': _repFunc = SMS; break;
    default: _repFunc = UNDEF_FNC;
    }

    const char pw = charAt(type, PWROPT_POS);
    switch (pw) {
    case 'A': _pwrOption = ACCUMULATOR; break;
    case 'B': _pwrOption = BATTERY; break;
    case 'E': _pwrOption = EXTERNAL; break;
    default: _pwrOption = UNDEF_PWR;
    }
    if (_pwrOption == UNDEF_PWR) B_ASSERT(false, "unknown power option '" << shown(pw) << "'");
}

void SettingBin::cleanUpEntries(bool cleanType)
{
    for (int i = 0; i <= LAST_ENTRY; ++i) {
        if (!cleanType && (i == KORTYPE_POS || i == KORSPECIAL_POS)) continue;
        _entryArr[i].cleanup();
    }
}

bool SettingBin::loadFromFile(const std::string& path, bool strict, std::string* why)
{
    return AdnFile::load(*this, path, strict ? AdnFile::STRICT : AdnFile::TOLERANT, why) == AdnFile::LOADED;
}

bool SettingBin::storeToFile() { return AdnFile::save(*this); }
