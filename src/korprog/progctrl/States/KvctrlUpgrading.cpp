#include "korprog/progctrl/States/KvctrlUpgrading.h"

#include <cstdio>

#include "bdebug/BAssert.h"
#include "bdebug/BDownCast.h"
#include "bdebug/BTrace.h"
#include "helm/BTimer.h"
#include "korprog/Dialog.h"
#include "korprog/KvprgProtDefs.h"
#include "korprog/RunMode.h"
#include "korprog/conndrv/KvcdrvExtSyntax.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/States/KvctrlConnIdle.h"
#include "korprog/progctrl/States/KvctrlExtSyntax.h"
#include "korprog/progctrl/States/KvctrlLocSyntax.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/progctrl/States/KvctrlStateList.h"
#include "korprog/progctrl/Run/KvctrlRunPlan.h"
#include "korprog/progctrl/Run/KvctrlUnattended.h"
#include "korprog/progctrl/States/KvctrlUpgrWaitBootReq.h"
#include "korprog/progctrl/States/KvctrlUpgrWaitStatInfo.h"
#include "korprog/progctrl/Run/KvctrlVersionCheck.h"
#include "korprog/protparser/KvprotExtSyntax.h"
#include "main/Main.h"

namespace {

KvctrlUpgrading::OrigReq originOf(const BEvent* e)
{
    if (e && Kvctrl::isLocal(e) && e->signalId() == LOC_UPGRADE_REQ) return KvctrlUpgrading::REQ_FROM_PROGRAMMER;
    if (e && Kvctrl::fromParser(e) && e->signalId() == CTRL_BOOTLOAD_REQ) return KvctrlUpgrading::REQ_FROM_KORVAN;
    return KvctrlUpgrading::UNDEF_ORIG;
}

}  // namespace

KvctrlUpgrading::KvctrlUpgrading(BCompositeState* enclosing, int nrBytes, const uint8_t* binData,
                                 const BEvent* event)
    : BCompositeState(enclosing, KOR_PROG, PROG_CTRL, KVCTRLUPGRADING, PRIO_4),
      _root(static_cast<KvctrlRoot*>(enclosing->enclosing(STATE_ROOT))),
      _timer(new BTimer()),
      _nrBytes(binData ? nrBytes : 0),
      _bytePtr(0),
      _packetNr(1),
      _binData(binData),
      _segmentPacketNr(1),
      _segmentDelta(0),
      _lastSegmenPtr(0),
      _origReq(originOf(event)),
      _naksInARow(0),
      _completed(false),
      _bytesAcked(0),
      _btlSent(false),
      _portLost(false),
      _endUnacknowledged(false),
      _versionAwaited(false),
      _lastPacketPtr(0)
{
}

KvctrlUpgrading::~KvctrlUpgrading()
{
    delete _timer;
    _root->runPlan()->imageEnded();
}

void KvctrlUpgrading::onEntry(const BEvent*)
{
    _root->runPlan()->imageBegins();
    _root->frmStatusInfo(gettext("Upgrading", 0), false);
    _root->frmSetCursorBusy(true);
    _root->frmActivateButtons(false);
    switch (_origReq) {
    case REQ_FROM_KORVAN:
        if (sendBtlData(false)) {
            KvctrlUpgrWaitStatInfo::selfTransition(0);
            addRegion(new KvctrlUpgrWaitStatInfo(this));
        } else {
            _root->informSetBinFile();
            addRegion(new KvctrlUpgrWaitBootReq(this));
        }
        break;
    case REQ_FROM_PROGRAMMER:
        _imeiBefore = _root->korSettingBin()->unitImei();
        addRegion(new KvctrlUpgrWaitBootReq(this));
        break;
    default: B_ERROR("Invalid origReq"); break;
    }
}

void KvctrlUpgrading::onExit(const BEvent*)
{
    // Done only once the unit reports the image's version: a command-line
    // run ends then (KvctrlVersionCheck).
    if (_completed && !_versionAwaited) awaitVersion();
    if (RevPackDb::CMDL_UPGRADE) {
        // Cut short by a signal, the run says so itself.
        if (!_completed && !Main::shutdownActive()) KvctrlUnattended::fail(_outcome.failure());
        RevPackDb::CMDL_UPGRADE = false;
        if (!_completed) Main::_shutdown = true;
    }
    stopTimer();
    _root->frmSetCursorBusy(false);
    _root->frmActivateButtons(true);
    _root->upgrInitByKor(false);
}

void KvctrlUpgrading::awaitVersion()
{
    RevPackDb* db = _root->revPack();
    char type[RevPackDb::MAX_TXT_LEN] = "", software[RevPackDb::MAX_TXT_LEN] = "";
    if (db && db->binFile()[0] != '\0') {
        db->getEntry(db->binFile(), RevPackDb::BIN_TYPE, type);
        db->getEntry(db->binFile(), RevPackDb::BIN_VERSION, software);
    }
    _root->awaitUpgradedVersion(type, software, _imeiBefore);
    if (_endUnacknowledged)
        _root->versionCheck()->endUnacknowledged(_outcome.failure(), _outcome.told(_bytesAcked, _nrBytes));
}

void KvctrlUpgrading::endUnacknowledged(const KvctrlUpgrOutcome& outcome, const KvctrlStiEvt* report)
{
    _outcome = outcome;
    _endUnacknowledged = true;
    BTrace::instance()->dbgPrint("the end of the image went unanswered; the unit's report decides", true, true);
    awaitVersion();
    _versionAwaited = true;
    sendLocal(new BLocalEvent(LOC_UPGRADE_END, true), STATE_ROOT);
    if (report) _root->sbStoreStInfo(report, nullptr);
}

void KvctrlUpgrading::onEvent(const BEvent* e)
{
    // Also in the steps that have nothing to send again.
    portBack(e);
    if (!Kvctrl::isLocal(e)) return;
    if (e->signalId() == LOC_UPGRADE_END) {
        Main::_exitCode = 0;
        _completed = true;
        transition(new KvctrlConnIdle(enclosing()));
    } else if (e->signalId() == LOC_UPGRADE_REQ) {
        _outcome = KvctrlUpgrOutcome(KvctrlUpgrOutcome::ABANDONED);
        transition(new KvctrlConnIdle(enclosing()));
    } else if (e->signalId() == LOC_UPGRADE_TO) {
        // Handled by KvctrlConnected; only the telling is ours.
        _outcome = KvctrlUpgrOutcome(_portLost ? KvctrlUpgrOutcome::PORT_LOST : KvctrlUpgrOutcome::SILENT);
        tellFailure();
    }
}

void KvctrlUpgrading::onError(const BEvent*, RegionId)
{
    tellFailure();
    transition(B_ERROR);
}

void KvctrlUpgrading::tellFailure()
{
    // An unattended run says it on its way out; nobody reads an alert then.
    if (RunMode::unattended() || Main::shutdownActive()) return;
    const std::string text = _root->withBackup(_outcome.told(_bytesAcked, _nrBytes));
    BTrace::instance()->dbgPrint("Upgrade failed: " + _outcome.english(), true, true);
    _root->statusNote(text);
    Dialog::alert("%s", text.c_str());
}

bool KvctrlUpgrading::portBack(const BEvent* e)
{
    if (!Kvctrl::fromDriver(e) || e->signalId() != CDRV_ERROR) return false;
    const CdrvErrorEvt* err = B_CHECKCAST(CdrvErrorEvt, e);
    if (!err) return false;
    if (err->error() == CDRV_SET_COM_NOT_OPEN) {
        _portLost = true;
        return false;
    }
    if (err->error() != CDRV_CLEAR_COM_NOT_OPEN || !_portLost) return false;
    _portLost = false;
    return true;
}

void KvctrlUpgrading::startTimer()
{
    _timer->fireEvery(enclosing()->queue(), BTimer::nSecs(UPGRADE_TIMEOUT_INTV), LOC_UPGRADE_TO);
}

void KvctrlUpgrading::stopTimer() { _timer->disarm(); }

bool KvctrlUpgrading::nakGivesUp()
{
    if (++_naksInARow < Kvctrl::MAX_NAKS_IN_A_ROW) return false;
    _outcome = KvctrlUpgrOutcome(KvctrlUpgrOutcome::NAKS, "", "", _naksInARow);
    return true;
}

void KvctrlUpgrading::ackReceived()
{
    _naksInARow = 0;
    // The ACK takes everything sent so far; after a NAK that is less than the most sent.
    if (_bytePtr > _bytesAcked) _bytesAcked = _bytePtr;
}

bool KvctrlUpgrading::sendBtlData(bool dueToTimeout)
{
    RevPackDb* db = _root->revPack();
    if (_nrBytes == 0 || !db) return false;
    // A boot loader that does not fit one frame is not sent at all.
    const bool chosen = !(dueToTimeout && _origReq == REQ_FROM_KORVAN) || db->setBootData(nullptr);
    const int size = db->bootSize();
    if (!chosen || size <= 0 || size > Kvprg::MAX_BOOT_DATA) {
        if (!_btlSent)
            _outcome = KvctrlUpgrOutcome(KvctrlUpgrOutcome::NO_BOOT_LOADER, db->actRpFile(), RevPackDb::actHwVersion());
        return false;
    }
    auto* data = new KvprotBootLoadData();
    data->data(reinterpret_cast<const uint8_t*>(db->bootData()), size);
    Kvctrl::toParser(this, data);
    _btlSent = true;
    return true;
}

bool KvctrlUpgrading::sendPacket()
{
    Kvctrl::toParser(this, new BBindingEvent(KVPROT_SOH, true));
    Kvctrl::toParser(this, new KvprotPacknr(_packetNr));
    Kvctrl::toParser(this, new KvprotPacknr1cmpl(static_cast<uint8_t>(255 - _packetNr)));

    _lastPacketPtr = _bytePtr;
    auto* data = new KvprotUpgrData();
    uint8_t checksum = 0;
    int n = 0;
    for (; n < Kvprg::PACKET_DATA_SIZE && _bytePtr < _nrBytes; ++n) {
        data->_data[n] = _binData[_bytePtr];
        checksum = static_cast<uint8_t>(checksum + _binData[_bytePtr]);
        ++_segmentDelta;
        if (_bytePtr % Kvprg::SEGMENT_SIZE == 0) {
            if (debugLevel() & BTrace::MED)
                BTrace::instance()->dbgPrint("segmentDelta=" + std::to_string(_segmentDelta) +
                                                 " packetNr=" + std::to_string(_packetNr),
                                             true, true);
            _segmentPacketNr = _packetNr;
            _lastSegmenPtr = _bytePtr;
            _segmentDelta = 0;
        }
        ++_bytePtr;
    }
    for (; n < Kvprg::PACKET_DATA_SIZE; ++n) {
        data->_data[n] = Kvprg::PACKET_PAD;
        checksum = static_cast<uint8_t>(checksum + Kvprg::PACKET_PAD);
    }
    data->_nrBytes = Kvprg::PACKET_DATA_SIZE;
    Kvctrl::toParser(this, data);
    Kvctrl::toParser(this, new KvprotChecksum(checksum));
    ++_packetNr;
    showProgress();
    startTimer();
    return _bytePtr >= _nrBytes;
}

void KvctrlUpgrading::sendEot()
{
    // Sent again unanswered is no progress: the upgrade timer keeps
    // counting from the unit's last answer.
    Kvctrl::toParser(this, new BBindingEvent(KVPROT_EOT, true));
}

bool KvctrlUpgrading::re_SendPacket()
{
    // Only the packet the receiver asks for: an XMODEM receiver takes the
    // one before it again, but one further back breaks the transfer off.
    _bytePtr = _lastPacketPtr;
    --_packetNr;
    return sendPacket();
}

void KvctrlUpgrading::showProgress()
{
    char status[128];
    std::snprintf(status, sizeof status, "%s %d%c %s", gettext("Upgrading", 0),
                  _nrBytes > 0 ? static_cast<int>(static_cast<long long>(_bytePtr) * 100 / _nrBytes) : 0, '%',
                  gettext("ready", 0));
    _root->frmUpgradeProgress(status, _bytePtr, _nrBytes);
}
