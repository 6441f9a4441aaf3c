#include "korprog/progctrl/Run/KvctrlUnitValues.h"

#include <memory>
#include <set>
#include <vector>

#include "korprog/CsvFile.h"
#include "korprog/Utf8.h"
#include "korprog/StringUtils.h"
#include "korprog/WholeFile.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/Data/Translated.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/progctrl/Run/KvctrlUnattended.h"
#include "korprog/progctrl/Run/KvctrlValuesLedger.h"
#include "korprog/progctrl/Run/KvctrlValuesTable.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/runlog/RunLog.h"

const char* KvctrlUnitValues::CMDL_VALUES = "";

namespace {

struct Batch {
    bool loaded = false;
    KvctrlValuesTable table;
    std::unique_ptr<KvctrlValuesLedger> ledger;
    int row = 0;  // the row this run holds; 0 while it holds none
    std::string imei, port;
    bool recorded = false;
};

Batch& batch()
{
    static Batch b;
    return b;
}

std::string inFile(const std::string& what) { return std::string(KvctrlUnitValues::CMDL_VALUES) + ": " + what; }

bool refuse(const std::string& why)
{
    KvctrlUnattended::fail(RunFailure::Kind::BadInput, why + "; nothing was programmed");
    return false;
}

bool refuseRow(std::string* why, const std::string& text)
{
    *why = text;
    return false;
}

// The first row in the file's order that no unit holds and no other run
// is programming; 0 when there is none. The ledger is read again once the
// row's lock is ours: the run that had it may have recorded it meanwhile.
int firstFree(Batch& b)
{
    const std::set<int> used = b.ledger->used();
    for (const KvctrlValuesTable::Row& r : b.table.rows()) {
        if (used.count(r.number) || !b.ledger->take(r.number)) continue;
        if (!b.ledger->used().count(r.number)) return r.number;
        b.ledger->release(r.number);
    }
    return 0;
}

// Takes the unit's row; false with why.
bool takeRow(Batch& b, const std::string& imei, std::string* why)
{
    const std::string used = " (" + b.ledger->file() + ")";
    if (!b.table.byImei()) {
        b.row = firstFree(b);
        if (b.row == 0) *why = inFile("no free row left: every row is used" + used + " or being programmed");
        return b.row != 0;
    }
    if (imei.empty()) return refuseRow(why, inFile("the unit reports no IMEI, and every row is for one IMEI"));
    const KvctrlValuesTable::Row* r = b.table.rowFor(imei);
    if (!r) return refuseRow(why, inFile("no row for IMEI " + imei));
    const std::string at = "row " + std::to_string(r->number) + " for IMEI " + imei;
    if (b.ledger->used().count(r->number)) return refuseRow(why, inFile(at + " is used already" + used));
    if (!b.ledger->take(r->number)) return refuseRow(why, inFile(at + " is being programmed by another run"));
    if (b.ledger->used().count(r->number)) {
        b.ledger->release(r->number);
        return refuseRow(why, inFile(at + " is used already" + used));
    }
    b.row = r->number;
    return true;
}

// Whether the base settings are Latin-1: bytes that are no UTF-8. The
// values go in as the base file has its texts.
bool baseIsLatin1()
{
    std::string bytes;
    return WholeFile::read(FrmKorProgImpl::PROG_FILE_ADN, bytes) && !Utf8::valid(bytes);
}

}  // namespace

std::string KvctrlUnitValues::inputFault()
{
    if (!*CMDL_VALUES) return "";
    if (!FrmKorProgImpl::CMDL_PROGRAM) return "-values needs -program BASE.adn, the settings every unit gets";
    Batch& b = batch();
    if (b.loaded) return "";
    std::string why;
    if (!b.table.load(CMDL_VALUES, &why)) return inFile("not a values file (" + why + ")");
    b.ledger.reset(new KvctrlValuesLedger(CMDL_VALUES));
    if (!b.ledger->open(&why)) return why;
    b.loaded = true;
    return "";
}

bool KvctrlUnitValues::applyTo(KvctrlRoot* root)
{
    if (!*CMDL_VALUES) return true;
    Batch& b = batch();
    std::string why = inputFault();
    if (!why.empty()) return refuse(why);
    SettingBin* bin = root->korSettingBin();
    if (b.row == 0) {
        if (!takeRow(b, bin->unitImei(), &why)) return refuse(why);
        b.imei = bin->unitImei();
        b.port = root->cfgComPort() ? root->cfgComPort() : "";
        RunLog::values(CMDL_VALUES, b.row);
    }
    const KvctrlValuesTable::Row* row = nullptr;
    for (const KvctrlValuesTable::Row& r : b.table.rows())
        if (r.number == b.row) row = &r;
    std::vector<KvctrlValuesTable::Part> parts;
    if (!row || !b.table.partsFor(bin->unitKorType(), bin->unitSpecial(), &parts, &why)) return refuse(inFile(why));
    const bool latin1 = baseIsLatin1();
    std::vector<std::string> values(parts.size());
    // Every value is checked before any is stored: the settings stay the
    // base file's when the row is refused.
    for (size_t k = 0; k < parts.size(); ++k) {
        std::string fault;
        if (latin1 && !CsvFile::utf8ToLatin1(row->values[k], &values[k]))
            fault = "holds a character the base file's Latin-1 has not";
        else if (!latin1)
            values[k] = row->values[k];
        if (fault.empty()) fault = KvctrlValuesTable::valueFault(parts[k], values[k]);
        if (!fault.empty())
            return refuse(inFile("row " + std::to_string(b.row) + ", " + KvctrlValuesTable::name(parts[k]) + " " + fault));
    }
    for (size_t k = 0; k < parts.size(); ++k) {
        SettingEntry* e = bin->getEntry(static_cast<uint8_t>(parts[k].entry));
        if (parts[k].list == 'T')
            StringUtils::copyTo(e->text, values[k].c_str());
        else
            StringUtils::copyTo(e->tfnr, values[k].c_str());
    }
    // A window shows what goes to the unit.
    bin->enableEdit();
    root->frmStatusNotice(Translated::message("Instellingen met de waarden van rij %d uit %s", b.row, CMDL_VALUES));
    return true;
}

void KvctrlUnitValues::unitHoldsRow()
{
    Batch& b = batch();
    if (b.row == 0 || !b.ledger || b.recorded) return;
    std::string reason;
    b.recorded = b.ledger->record(b.row, b.imei, b.port, &reason);
    if (!b.recorded)
        KvctrlUnattended::fail(RunFailure::Kind::Other,
                               "cannot record row " + std::to_string(b.row) + " as used in " + b.ledger->file() + ": " +
                                   reason + "; the unit holds its values, but a later run may take the row again");
}

void KvctrlUnitValues::reset()
{
    CMDL_VALUES = "";
    batch() = Batch();
}
