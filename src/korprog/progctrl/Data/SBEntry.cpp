#include "korprog/progctrl/Data/SBEntry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "bdebug/BAssert.h"
#include "korprog/StringUtils.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/SettingBin.h"

namespace {

template <size_t N>
void translate(char (&field)[N])
{
    const char* t = gettext(field, 0);
    if (t != field) StringUtils::copyTo(field, t);
}

// The first blank-delimited token of s, cut to the field.
template <size_t N>
void token(char (&dst)[N], const char* s)
{
    while (*s == ' ' || *s == '\t') ++s;
    size_t n = 0;
    while (s[n] != '\0' && s[n] != ' ' && s[n] != '\t' && s[n] != '|') ++n;
    StringUtils::copyTo(dst, s, n);
}

const int LAST_ENTRY = SettingBin::MAX_ENTRIES - 1;

}  // namespace

SBEntry::SBEntry(const char* line, SettingBin* settingBin)
    : SBEntry(line, settingBin ? settingBin->korType() : "", settingBin ? settingBin->korSpecial() : "")
{
}

SBEntry::SBEntry(const char* line, const char* korType, const char* special)
    : _entry(0), _entryType(INVALID_TYPE), _list('\0'), _nrMenuItems(0), _subItems(false)
{
    char* fields[] = {_strEntry, _strList, _name,     _tabName,  _type,      _help,      _tabHelp,   _selKV,   _selDigIn,
                      _selUIn,   _selIIn,  _selRelOut, _selNetw, _selFunc,  _selPower,  _selMount, _selSpecial};
    const size_t widths[] = {sizeof _strEntry, sizeof _strList, sizeof _name,      sizeof _tabName,  sizeof _type,
                             sizeof _help,     sizeof _tabHelp, sizeof _selKV,     sizeof _selDigIn, sizeof _selUIn,
                             sizeof _selIIn,   sizeof _selRelOut, sizeof _selNetw, sizeof _selFunc,  sizeof _selPower,
                             sizeof _selMount, sizeof _selSpecial};
    std::memset(_menuItems, 0, sizeof _menuItems);
    std::memset(_subItemTxt, 0, sizeof _subItemTxt);
    std::memset(_subItemVal, 0, sizeof _subItemVal);
    _default[0] = '\0';

    // Line ends are no part of the row, also when the table was saved
    // with CR LF.
    std::string row = line ? line : "";
    row.erase(std::remove_if(row.begin(), row.end(), [](char c) { return c == '\r' || c == '\n'; }), row.end());
    const char* p = row.c_str();
    bool fits = true;
    for (size_t i = 0; i < sizeof fields / sizeof *fields; ++i) {
        if (!StringUtils::cutColumn(fields[i], widths[i], &p)) fits = false;
    }
    translate(_help);

    if (!fits) return;
    if (std::sscanf(_strEntry, "%d", &_entry) != 1) _entry = 0;
    // Only entries of the bin are settings; 0 marks a row that is not one.
    if (_entry < 1 || _entry > LAST_ENTRY) return;
    if (_strList[0] != 'N' && _strList[0] != 'T') return;
    _list = _strList[0];
    if (_name[0] == '\0') return;
    translate(_name);
    if (_tabName[0] == '\0') return;
    translate(_tabName);
    if (_type[0] == '\0') return;
    translate(_type);

    if (!korType) korType = "";
    const char* selectors[] = {_selDigIn, _selUIn, _selIIn, _selRelOut, _selNetw, _selFunc, _selPower, _selMount};
    const int positions[] = {2, 3, 4, 5, 6, 7, 9, 10};
    for (int i = 0; i < 8; ++i) {
        if (!selects(selectors[i], korType, positions[i])) return;
    }
    if (!special) special = "";
    if (!std::strstr(special, _selSpecial)) return;

    if (std::strncmp(_type, "num:", 4) == 0) {
        _entryType = NUM_INPUT_TYPE;
        parseDefault(_type + 4);
    } else if (std::strncmp(_type, "sel:", 4) == 0) {
        _entryType = INPUT_CHOICE_TYPE;
        parseMenu(_type + 4);
    } else if (std::strcmp(_type, "ascii") == 0) {
        _entryType = ASCII_INPUT_TYPE;
    } else if (std::strcmp(_type, "tel") == 0) {
        _entryType = TEL_INPUT_TYPE;
    }
}

bool SBEntry::selects(const char* selector, const char* korType, int pos) const
{
    if (selector[0] == '\0') return true;
    if (std::strlen(korType) <= static_cast<size_t>(pos)) return false;
    const char c = korType[pos];
    if (c >= '0' && c <= '9') {
        if (selector[1] == '+') return c >= selector[0];
        return c == selector[0];
    }
    return std::strchr(selector, c) != nullptr;
}

void SBEntry::parseMenu(const char* kind)
{
    // Each item is split before anything is cut: a shown text may be cut,
    // but a value is programmed into the unit and must stay whole.
    for (const char* p = kind; p && _nrMenuItems < MAX_MENU_ITEMS;) {
        const char* bar = std::strchr(p, '|');
        const std::string item(p, bar ? static_cast<size_t>(bar - p) : std::strlen(p));
        p = bar ? bar + 1 : nullptr;
        const size_t colon = item.find(':');
        // A plain item shows and stores its text.
        std::string value = item;
        if (colon != std::string::npos) {
            const size_t from = item.find_first_not_of(" \t", colon + 1);
            value = from == std::string::npos ? "" : item.substr(from, item.find_first_of(" \t", from) - from);
        }
        if (value.size() > MENU_ITEM_LEN - 1) {
            B_ERROR("menu item value too long, item left out: " << item);
            continue;
        }
        const int i = _nrMenuItems++;
        StringUtils::copyTo(_menuItems[i], item.c_str());
        StringUtils::copyTo(_subItemTxt[i], item.c_str(), colon);
        StringUtils::copyTo(_subItemVal[i], value.c_str());
        if (colon != std::string::npos) _subItems = true;
    }
}

void SBEntry::parseDefault(const char* kind)
{
    const char* bar = std::strchr(kind, '|');
    if (!bar) return;
    const char* def = std::strstr(bar + 1, "default:");
    if (def) token(_default, def + std::strlen("default:"));
}

bool SBEntry::tabNameIs(const char* tabName) const { return tabName && std::strcmp(_tabName, tabName) == 0; }

const char* SBEntry::menuItem(int ix, bool getVal) const
{
    if (ix < 0 || ix >= _nrMenuItems) return "";
    if (_subItems) return getVal ? _subItemVal[ix] : _subItemTxt[ix];
    return _menuItems[ix];
}

const char* SBEntry::menuItem(const char* text, bool getVal) const
{
    if (!text) return nullptr;
    for (int i = 0; i < _nrMenuItems; ++i) {
        const char* shownText = _subItems ? _subItemTxt[i] : _menuItems[i];
        if (std::strcmp(shownText, text) == 0) return menuItem(i, getVal);
    }
    return nullptr;
}

int SBEntry::menuItem(char* text, bool ckVal) const
{
    if (!text) return _nrMenuItems;
    for (int i = 0; i < _nrMenuItems; ++i) {
        const char* item = _subItems ? (ckVal ? _subItemVal[i] : _subItemTxt[i]) : _menuItems[i];
        if (std::strcmp(item, text) == 0) return i;
    }
    return _nrMenuItems;
}
