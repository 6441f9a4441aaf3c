#include "korprog/KvprgFrame.h"

#include <cstring>

using namespace Kvprg;

namespace {

int boundedLength(const char* text, int max, bool* cut)
{
    if (!text) return 0;
    int n = 0;
    while (n < max && text[n] != '\0') ++n;
    if (text[n] != '\0') *cut = true;
    return n;
}

// A field of a setting entry into out: at most max characters, without
// double quotes. Returns the length; *cut when anything was left out.
int entryField(const char* text, int max, char* out, bool* cut)
{
    int n = 0;
    for (const char* p = text ? text : ""; *p != '\0'; ++p) {
        if (*p == '"') {
            *cut = true;
        } else if (n == max) {
            *cut = true;
            break;
        } else {
            out[n++] = *p;
        }
    }
    return n;
}

} // namespace

KvprgFrame::KvprgFrame() : _size(0) {}

KvprgFrame::KvprgFrame(const uint8_t* bytes, int nrBytes) : _size(0)
{
    if (!bytes || nrBytes <= 0) return;
    _size = nrBytes < MAXFRAME ? nrBytes : MAXFRAME;
    std::memcpy(_bytes, bytes, static_cast<size_t>(_size));
}

uint8_t KvprgFrame::checksum(const uint8_t* bytes, int nrBytes)
{
    unsigned sum = 0;
    for (int i = 0; i < nrBytes; ++i) sum += bytes[i];
    return static_cast<uint8_t>(sum & 0xFF);
}

void KvprgFrame::append(uint8_t byte)
{
    // Every builder checks its size first; this is the last line of defence.
    if (_size < MAXFRAME) _bytes[_size++] = byte;
}

void KvprgFrame::appendText(const char* text, int length)
{
    for (int i = 0; i < length; ++i) append(static_cast<uint8_t>(text[i]));
}

void KvprgFrame::finish()
{
    append(ETX);
    append(checksum(_bytes, _size));
}

void KvprgFrame::request(uint8_t type)
{
    build(type, nullptr, 0);
}

bool KvprgFrame::build(uint8_t type, const uint8_t* data, int nrBytes)
{
    clear();
    if (nrBytes < 0 || nrBytes > MAX_FRAME_DATA || (nrBytes > 0 && !data)) return false;
    append(SOH);
    append(type);
    append(static_cast<uint8_t>(nrBytes));
    append(STX);
    for (int i = 0; i < nrBytes; ++i) append(data[i]);
    finish();
    return true;
}

bool KvprgFrame::settingEntry(uint8_t nr, const char* text, const char* number)
{
    bool cut = false;
    char textField[ENTRY_TEXT_MAX], numberField[ENTRY_NUMBER_MAX];
    const int t = entryField(text, ENTRY_TEXT_MAX, textField, &cut);
    const int n = entryField(number, ENTRY_NUMBER_MAX, numberField, &cut);
    clear();
    append(SOH);
    append(MSG_SET_ENTRY);
    append(static_cast<uint8_t>(t + n + ENTRY_OVERHEAD));
    append(STX);
    append(nr);
    append('"');
    appendText(textField, t);
    append('"');
    append(',');
    append('"');
    appendText(numberField, n);
    append('"');
    finish();
    return !cut;
}

bool KvprgFrame::statusInfo(PrclVersion prVer, uint8_t extraStat, uint8_t nrEntries, const char* type,
                            const char* software, const char* special, const char* hardw, const char* imei)
{
    const char* fields[STATUS_NR_FIELDS] = {type, software, special, hardw, imei};
    std::string record;
    record += static_cast<char>(prVer);
    record += static_cast<char>(extraStat);
    record += static_cast<char>(nrEntries);
    for (int i = 0; i < STATUS_NR_FIELDS; ++i) {
        if (i > 0) record += ',';
        record += '"';
        if (fields[i]) record += fields[i];
        record += '"';
        if (static_cast<int>(record.size()) > MAX_FRAME_DATA) break;
    }
    return build(MSG_STATUS_INFO, reinterpret_cast<const uint8_t*>(record.data()), static_cast<int>(record.size()));
}

bool KvprgFrame::bootInfo(const char* hardw, const char* type, const char* special)
{
    uint8_t data[BOOTREC_LEN + 2];
    std::memset(data, 0, sizeof data);
    bool cut = false;
    struct Field {
        const char* text;
        int offset;
        int length;
    } fields[] = {{hardw, BOOTREC_HW_OFS, HWVERSION_LEN},
                  {type, BOOTREC_TYPE_OFS, TYPE_LEN},
                  {special, BOOTREC_SPECIAL_OFS, BOOTREC_SPECIAL_LEN}};
    for (const Field& f : fields) {
        int n = boundedLength(f.text, f.length, &cut);
        if (n > 0) std::memcpy(data + 1 + f.offset, f.text, static_cast<size_t>(n));
    }
    build(MSG_BOOT_INFO, data, static_cast<int>(sizeof data));
    return !cut;
}

bool KvprgFrame::bootloadData(const uint8_t* data, int nrBytes)
{
    clear();
    if (nrBytes < 0 || nrBytes > MAX_BOOT_DATA || (nrBytes > 0 && !data)) return false;
    append(SOH);
    append(MSG_BOOTLOAD_DATA);
    append(0);
    append(STX);
    for (int i = 0; i < nrBytes; ++i) append(data[i]);
    finish();
    return true;
}

bool KvprgFrame::checksumOk() const
{
    return _size >= 2 && checksum(_bytes, _size - 1) == _bytes[_size - 1];
}

bool KvprgFrame::isWellFormed() const
{
    if (!isValid() || _size < FRAME_OVERHEAD) return false;
    if (_bytes[3] != STX || _bytes[_size - 2] != ETX) return false;
    if (type() == MSG_BOOTLOAD_DATA) return lengthByte() == 0;
    return lengthByte() + FRAME_OVERHEAD == _size;
}

bool KvprgFrame::entryFields(uint8_t* nr, std::string* text, std::string* number) const
{
    if (!isWellFormed() || type() != MSG_SET_ENTRY) return false;
    const uint8_t* d = data();
    int n = dataSize();
    // nr, '"', text, '"', ',', '"', number, '"'
    if (n < ENTRY_OVERHEAD || d[1] != '"' || d[n - 1] != '"') return false;
    int p = 2;
    int textStart = p;
    while (p < n && d[p] != '"') ++p;
    if (p + 3 >= n || d[p + 1] != ',' || d[p + 2] != '"') return false;
    int textEnd = p;
    int numStart = p + 3;
    int numEnd = n - 1;
    for (int i = numStart; i < numEnd; ++i)
        if (d[i] == '"') return false;
    if (nr) *nr = d[0];
    if (text) text->assign(reinterpret_cast<const char*>(d + textStart), static_cast<size_t>(textEnd - textStart));
    if (number) number->assign(reinterpret_cast<const char*>(d + numStart), static_cast<size_t>(numEnd - numStart));
    return true;
}

std::string KvprgFrame::bootRecordField(int offset, int length) const
{
    // The record starts after the first (unused) data byte.
    int start = FRAME_DATA_OFS + 1 + offset;
    std::string field;
    if (offset < 0 || length <= 0) return field;
    for (int i = start; i < start + length && i < _size - 3; ++i) {
        if (_bytes[i] == 0) break;
        field += static_cast<char>(_bytes[i]);
    }
    return field;
}
