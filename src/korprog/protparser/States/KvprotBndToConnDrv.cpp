#include "korprog/protparser/States/KvprotBndToConnDrv.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "bdebug/BAssert.h"
#include "bdebug/BDownCast.h"
#include "bdebug/BTrace.h"
#include "korprog/KvprgCompList.h"
#include "korprog/KvprgFrame.h"
#include "korprog/KvprgProtDefs.h"
#include "korprog/StringUtils.h"
#include "korprog/conndrv/KvcdrvExtSyntax.h"
#include "korprog/conndrv/States/KvcdrvBinding.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/progctrl/States/KvctrlExtSyntax.h"
#include "korprog/protparser/KvprotExtSyntax.h"

using namespace Kvprg;

namespace {

// Data bytes a received frame holds between STX and ETX.
int dataBytes(const CdrvStrEvt* s) { return std::max(0, s->validBytes() - FRAME_OVERHEAD); }

// The value of the length byte, as far as the frame holds that many data bytes.
int dataLength(const CdrvStrEvt* s)
{
    const int l = s->validBytes() > FRAME_LEN_OFS ? s->bytes()[FRAME_LEN_OFS] : 0;
    return std::min(l, dataBytes(s));
}

// One quoted field of a received setting entry, from its opening quote to
// its closing one, at most Kvprot::FIELD_BUF characters; pos ends behind it.
std::string quotedField(const uint8_t* d, int avail, int* pos)
{
    std::string field;
    while (*pos < avail && static_cast<int>(field.size()) < Kvprot::FIELD_BUF) {
        field += static_cast<char>(d[(*pos)++]);
        if (*pos < avail && d[*pos] == '"') {
            if (static_cast<int>(field.size()) < Kvprot::FIELD_BUF) field += '"';
            ++*pos;
            break;
        }
    }
    return field;
}

// The text between a field's quotes, at most `max` characters; empty when
// the field does not start with a quote.
std::string unquoted(const std::string& field, int max)
{
    if (field.size() < 2 || field[0] != '"') return std::string();
    size_t end = 1;
    while (end < field.size() && field[end] != '"' && field[end] != '\0' && static_cast<int>(end - 1) < max) ++end;
    return field.substr(1, end - 1);
}

}  // namespace

KvprotBndToConnDrv::KvprotBndToConnDrv(BCompositeState* enclosing)
    : BBinderState(enclosing, KOR_PROG, PROT_PARSER, STATE_ID, PRIO_4), _nrBadCkSums(0)
{
}

void KvprotBndToConnDrv::onEntry(const BEvent*) { addBinding(new KvcdrvBinding()); }

int KvprotBndToConnDrv::fillData(uint8_t type, signed char* buffer)
{
    KvprgFrame f;
    f.request(type);
    std::memcpy(buffer, f.bytes(), static_cast<size_t>(f.size()));
    return f.size();
}

void KvprotBndToConnDrv::traceHandler(const char* handler) const
{
    if (dbg(BTrace::MED))
        BTrace::instance()->dbgPrint(std::string("-->KvprotBndToConnDrv::") + handler + " (" + compName() + ")", true,
                                     true);
}

void KvprotBndToConnDrv::onEvent(const BEvent* e)
{
    traceHandler("onEvent");
    if (!e || e->moduleId() != KOR_PROG) return;
    bool result;
    if (e->componentId() == PROT_PARSER) {
        typedef bool (KvprotBndToConnDrv::*Handler)(const BEvent*);
        static const Handler handlers[] = {
            &KvprotBndToConnDrv::handleAck,       &KvprotBndToConnDrv::uplEnd,
            &KvprotBndToConnDrv::uplSetEntry,     &KvprotBndToConnDrv::downloadRequest,
            &KvprotBndToConnDrv::lifeCheck,       &KvprotBndToConnDrv::handleNak,
            &KvprotBndToConnDrv::statusRequest,   &KvprotBndToConnDrv::uploadRequest,
            &KvprotBndToConnDrv::checkSum,        &KvprotBndToConnDrv::eot,
            &KvprotBndToConnDrv::packNr,          &KvprotBndToConnDrv::packNr1cmpl,
            &KvprotBndToConnDrv::soh,             &KvprotBndToConnDrv::upgrReq,
            &KvprotBndToConnDrv::upgrData,        &KvprotBndToConnDrv::btlData};
        const int ix = int(e->signalId()) - KVPROT_ACK;
        if (ix < 0 || ix >= int(sizeof handlers / sizeof handlers[0])) return;
        result = (this->*handlers[ix])(e);
    } else if (e->componentId() == CONN_DRV && e->signalId() == CDRV_STRING) {
        result = cdrvString(e);
    } else {
        return;
    }
    transition(static_cast<BState*>(nullptr));
    B_ASSERT(result, "Unsuccessful result event=" << int(e->signalId()));
}

// ---- to the unit ----

bool KvprotBndToConnDrv::sendBytes(const uint8_t* bytes, int count)
{
    auto* s = new CdrvStrEvt();
    if (!s->set(bytes, count)) {
        B_FAIL("string of " << count << " bytes does not fit " << Kvcdrv::MAXDATA);
        s->destroy();
        return false;
    }
    return sendExternal(s, KOR_PROG, CONN_DRV, nullptr) > 0;
}

bool KvprotBndToConnDrv::request(uint8_t type)
{
    signed char frame[FRAME_OVERHEAD];
    const int n = fillData(type, frame);
    return sendBytes(reinterpret_cast<const uint8_t*>(frame), n);
}

bool KvprotBndToConnDrv::handleAck(const BEvent*) { return sendByte(ACK); }

bool KvprotBndToConnDrv::handleNak(const BEvent*) { return sendByte(NAK); }

bool KvprotBndToConnDrv::eot(const BEvent*) { return sendByte(EOT); }

bool KvprotBndToConnDrv::soh(const BEvent*) { return sendByte(SOH); }

bool KvprotBndToConnDrv::uplEnd(const BEvent*) { return request(MSG_XFER_END); }

bool KvprotBndToConnDrv::downloadRequest(const BEvent*) { return request(MSG_DOWNLOAD_REQ); }

bool KvprotBndToConnDrv::lifeCheck(const BEvent*) { return request(MSG_LIFE_CHECK); }

bool KvprotBndToConnDrv::uploadRequest(const BEvent*) { return request(MSG_UPLOAD_REQ); }

bool KvprotBndToConnDrv::upgrReq(const BEvent*) { return request(MSG_UPGRADE_REQ); }

bool KvprotBndToConnDrv::statusRequest(const BEvent*)
{
    traceHandler("statusRequest");
    return request(MSG_STATUS_REQ);
}

bool KvprotBndToConnDrv::uplSetEntry(const BEvent* e)
{
    const KvprotSeeEvt* see = B_CHECKCAST(KvprotSeeEvt, e);
    if (!see) return false;
    // The unit writes '/' where the tool's texts hold '\'.
    const std::string text = StringUtils::replaceChar('\\', see->f1data(), "/");
    KvprgFrame f;
    const bool whole = f.settingEntry(see->entryNr(), text.c_str(), see->f2data());
    B_ASSERT(whole, "entry " << int(see->entryNr()) << " cut to " << ENTRY_TEXT_MAX << " and " << ENTRY_NUMBER_MAX
                             << " characters, or a double quote left out");
    return sendBytes(f.bytes(), f.size());
}

bool KvprotBndToConnDrv::checkSum(const BEvent* e)
{
    const KvprotChecksum* c = B_CHECKCAST(KvprotChecksum, e);
    return c && sendByte(c->_checkSum);
}

bool KvprotBndToConnDrv::packNr(const BEvent* e)
{
    const KvprotPacknr* p = B_CHECKCAST(KvprotPacknr, e);
    return p && sendByte(p->_nr);
}

bool KvprotBndToConnDrv::packNr1cmpl(const BEvent* e)
{
    const KvprotPacknr1cmpl* p = B_CHECKCAST(KvprotPacknr1cmpl, e);
    return p && sendByte(p->_nr);
}

bool KvprotBndToConnDrv::upgrData(const BEvent* e)
{
    const KvprotUpgrData* u = B_CHECKCAST(KvprotUpgrData, e);
    if (!u) return false;
    int n = u->_nrBytes;
    if (n > KvprotUpgrData::MAX) {
        B_FAIL("upgrData: nrBytes " << n << " > " << KvprotUpgrData::MAX);
        n = KvprotUpgrData::MAX;
    }
    return sendBytes(u->_data, n);
}

bool KvprotBndToConnDrv::btlData(const BEvent* e)
{
    const KvprotBootLoadData* b = B_CHECKCAST(KvprotBootLoadData, e);
    if (!b) return false;
    KvprgFrame f;
    if (!f.bootloadData(reinterpret_cast<const uint8_t*>(b->_data), b->_nrBytes)) {
        B_FAIL("btlData: " << b->_nrBytes << " bytes do not fit one frame of " << MAXFRAME);
        return false;
    }
    return sendBytes(f.bytes(), f.size());
}

// ---- from the unit ----

bool KvprotBndToConnDrv::sendToController(BBindingEvent* e)
{
    return sendBack(e, KOR_PROG, PROG_CTRL, nullptr) > 0;
}

bool KvprotBndToConnDrv::cdrvString(const BEvent* e)
{
    const CdrvStrEvt* strEvt = B_CHECKCAST(CdrvStrEvt, e);
    if (!strEvt) return false;

    if (strEvt->validBytes() == 1) {
        const uint8_t byte = strEvt->bytes()[0];
        switch (byte) {
        case BOOTLOAD_REQ_BYTE: return sendToController(new KvctrlBtlReq());
        case NAK: return sendToController(new KvprotNakEvt());
        case ACK: return sendToController(new KvprotAckEvt());
        default:
            B_ASSERT(false, "Unknown data:" << int(byte));
            return true;
        }
    }

    uint8_t msgType = 0xFF;
    if (!parseString(strEvt, &msgType)) {
        // The unit sends the frame again on NAK; a line that keeps failing
        // is not answered until a good frame comes.
        if (_nrBadCkSums <= MAXBADCKSUMS) sendByte(NAK);
        if (_nrBadCkSums < 0xFF) ++_nrBadCkSums;
        return true;
    }

    BBindingEvent* out = nullptr;
    switch (msgType) {
    case MSG_STATUS_INFO: out = getStatusInfo(strEvt); break;
    case MSG_SET_ENTRY: out = getSettingEntry(strEvt); break;
    case MSG_XFER_END: out = new KvctrlDldEndEvt(); break;
    case MSG_WAITING: out = new KvctrlWaitEvt(); break;
    case MSG_BOOTLOAD_REQ: out = new KvctrlBtlReq(); break;
    case MSG_BOOT_INFO: out = getBootInfo(strEvt); break;
    default:
        // While packs are built, the unit's other traffic is of no interest.
        if (!FrmKorProgImpl::CREATE_REVPACK)
            B_ERROR("Unknown data:" << int(strEvt->bytes()[0]) << " type:" << int(msgType));
        return true;
    }
    return out ? sendToController(out) : true;
}

bool KvprotBndToConnDrv::parseString(const CdrvStrEvt* strEvt, uint8_t* msgType)
{
    const int n = strEvt->validBytes();
    const uint8_t* b = strEvt->bytes();
    if (n < 1 || b[0] != SOH) {
        B_ERROR(" Data does NOT start with SOH");
        return false;
    }
    *msgType = n > FRAME_TYPE_OFS ? b[FRAME_TYPE_OFS] : 0xFF;
    if (n < FRAME_OVERHEAD) {
        B_ERROR(" Data too short for a frame: " << n);
        return false;
    }
    const uint8_t calc = KvprgFrame::checksum(b, n - 1);
    if (calc == b[n - 1]) {
        _nrBadCkSums = 0;
        return true;
    }
    B_ERROR("checksum error read:" << int(b[n - 1]) << " calc:" << int(calc));
    return false;
}

KvprotSeeEvt* KvprotBndToConnDrv::getSettingEntry(const CdrvStrEvt* strEvt)
{
    const uint8_t* d = strEvt->bytes() + FRAME_DATA_OFS;
    const int avail = dataBytes(strEvt);
    const uint8_t entryNr = avail > 0 ? d[0] : 0;
    int pos = 1;
    const std::string field1 = quotedField(d, avail, &pos);
    pos += 1;  // the comma
    const std::string field2 = quotedField(d, avail, &pos);

    std::string text = field1 == "\"\"" ? std::string() : unquoted(field1, Kvprot::FIELD1_READ_MAX);
    std::string number = field2 == "\"\"" ? std::string() : unquoted(field2, Kvprot::FIELD2_READ_MAX);
    const int f2Len = static_cast<int>(number.size());
    if (f2Len > Kvprot::FIELD2MAX) {
        B_ASSERT((f2Len <= Kvprot::FIELD2MAX), "invalid f2 size " << f2Len);
        number.resize(Kvprot::FIELD2MAX);
    }
    // The unit writes '/' where the tool's texts hold '\'.
    std::replace(text.begin(), text.end(), '/', '\\');
    return new KvprotSeeEvt(entryNr, text.c_str(), number.c_str());
}

KvctrlStiEvt* KvprotBndToConnDrv::getStatusInfo(const CdrvStrEvt* strEvt)
{
    const uint8_t* d = strEvt->bytes() + FRAME_DATA_OFS;
    const int avail = dataBytes(strEvt);
    auto* sti = new KvctrlStiEvt();
    sti->prVer = avail > STATUS_PRVER_OFS ? d[STATUS_PRVER_OFS] : 0;
    sti->extraStat = avail > STATUS_EXTRA_OFS ? d[STATUS_EXTRA_OFS] : 0;
    sti->totalNrEntries = avail > STATUS_NRENTRIES_OFS ? d[STATUS_NRENTRIES_OFS] : 0;

    const int textLen = std::max(0, dataLength(strEvt) - STATUS_TEXT_OFS);
    const std::string text(reinterpret_cast<const char*>(d) + std::min(avail, int(STATUS_TEXT_OFS)),
                           static_cast<size_t>(textLen));
    std::vector<std::string> pieces = StringUtils::explode(text, ",", false);
    pieces.resize(STATUS_NR_FIELDS);
    for (std::string& p : pieces) p = StringUtils::stripChar('"', p);

    const std::string type = pieces[0].substr(0, TYPE_LEN);
    const std::string softw =
        pieces[1].size() > size_t(STATUS_SW_SKIP) ? pieces[1].substr(STATUS_SW_SKIP, SWVERSION_LEN) : std::string();
    const std::string& special = pieces[2];
    const std::string hardw = pieces[3].substr(0, HWVERSION_LEN);
    const std::string imei = pieces[4].substr(0, IMEI_LEN);

    const int tpLen = static_cast<int>(type.size());
    const int swLen = static_cast<int>(softw.size());
    const int spLen = static_cast<int>(special.size());
    const int hwLen = static_cast<int>(hardw.size());
    const int emiLen = static_cast<int>(imei.size());
    B_ASSERT((tpLen <= KvctrlStiEvt::STRSIZE), "invalid tpNrBytes size " << tpLen);
    B_ASSERT((swLen <= KvctrlStiEvt::STRSIZE), "invalid swNrBytes size " << swLen);
    B_ASSERT((spLen <= KvctrlStiEvt::STRSIZE), "invalid spNrBytes size " << spLen);
    B_ASSERT((hwLen <= KvctrlStiEvt::STRSIZE), "invalid hwNrBytes size " << hwLen);
    B_ASSERT((emiLen <= KvctrlStiEvt::STRSIZE), "invalid imei NrBytes size " << emiLen);
    // A longer field keeps its first STRSIZE characters.
    KvctrlStiEvt::setText(sti->type, type);
    KvctrlStiEvt::setText(sti->softw, softw);
    KvctrlStiEvt::setText(sti->special, special);
    KvctrlStiEvt::setText(sti->hardw, hardw);
    KvctrlStiEvt::setText(sti->imei, imei);
    return sti;
}

KvctrlBootInf* KvprotBndToConnDrv::getBootInfo(const CdrvStrEvt* strEvt)
{
    const KvprgFrame f(strEvt->bytes(), strEvt->validBytes());
    const std::string hardw = f.bootRecordField(BOOTREC_HW_OFS, HWVERSION_LEN);
    const std::string type = f.bootRecordField(BOOTREC_TYPE_OFS, TYPE_LEN);
    const std::string special = f.bootRecordField(BOOTREC_SPECIAL_OFS, BOOTREC_SPECIAL_LEN);
    const int tpLen = static_cast<int>(type.size());
    const int spLen = static_cast<int>(special.size());
    const int hwLen = static_cast<int>(hardw.size());
    B_ASSERT((tpLen <= KvctrlBootInf::STRSIZE), "invalid type size " << tpLen);
    B_ASSERT((spLen <= KvctrlBootInf::STRSIZE), "invalid special size " << spLen);
    B_ASSERT((hwLen <= KvctrlBootInf::STRSIZE), "invalid hw size " << hwLen);
    if (hwLen != HWVERSION_LEN && tpLen != TYPE_LEN) return nullptr;
    auto* bti = new KvctrlBootInf();
    KvctrlStiEvt::setText(bti->type, type);
    KvctrlStiEvt::setText(bti->special, special);
    KvctrlStiEvt::setText(bti->hardw, hardw);
    return bti;
}
