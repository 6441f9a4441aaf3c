#include "korprog/progctrl/Run/KvctrlVersionCheck.h"

#include "bdebug/BTrace.h"
#include "helm/BTimer.h"
#include "korprog/Dialog.h"
#include "korprog/RunMode.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/Translated.h"
#include "korprog/progctrl/States/KvctrlLocSyntax.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "korprog/progctrl/Run/KvctrlUnattended.h"
#include "korprog/progctrl/Run/KvctrlUpgrOutcome.h"
#include "main/Main.h"

KvctrlVersionCheck::KvctrlVersionCheck(KvctrlRoot* root) : _root(root), _timer(new BTimer()), _waiting(false), _unattended(false),
      _endUnacknowledged(false)
{
}

KvctrlVersionCheck::~KvctrlVersionCheck() { delete _timer; }

void KvctrlVersionCheck::expect(BEvtQueue* queue, const std::string& type, const std::string& software,
                                const std::string& imei)
{
    _type = type;
    _software = software;
    _imei = imei;
    _waiting = true;
    _endUnacknowledged = false;
    _unattended = RunMode::unattended();
    _timer->fireIn(queue, BTimer::nSecs(VERSION_WAIT_S), LOC_VERSION_TO);
}

void KvctrlVersionCheck::cancel()
{
    _waiting = false;
    _timer->disarm();
}

void KvctrlVersionCheck::endUnacknowledged(const RunFailure& failure, const std::string& told)
{
    _endUnacknowledged = true;
    _unacknowledged = failure;
    _unacknowledgedTold = told;
}

void KvctrlVersionCheck::failUnacknowledged()
{
    BTrace::instance()->dbgPrint("Upgrade failed: " + _unacknowledged.reason, true, true);
    if (_unattended) {
        KvctrlUnattended::fail(_unacknowledged);
        endCommandLineRun();
        return;
    }
    const std::string text = _root->withBackup(_unacknowledgedTold);
    _root->statusNote(text);
    Dialog::alert("%s", text.c_str());
}

std::string KvctrlVersionCheck::mismatch(const std::string& expType, const std::string& expSoftware, const char* type,
                                         const char* software)
{
    const std::string sw = software ? software : "", ty = type ? type : "";
    if (!expSoftware.empty() && sw != expSoftware)
        return "the unit reports " + sw + " after the upgrade, expected " + expSoftware;
    if (!expType.empty() && ty != expType)
        return "the unit reports type " + ty + " after the upgrade, expected " + expType;
    return "";
}

void KvctrlVersionCheck::reported(const char* type, const char* software, const char* imei)
{
    if (!_waiting) return;
    cancel();
    // Units without an IMEI are told apart by their type alone.
    const std::string now = imei ? imei : "";
    if (!_imei.empty() && !now.empty() && now != _imei) {
        failed("another unit reports itself after the upgrade: IMEI " + now + ", expected " + _imei,
               Translated::message("Upgrade mislukt: een andere Korvan meldt zich (IMEI %s, verwacht %s)",
                               now.c_str(), _imei.c_str()));
        return;
    }
    const std::string wrong = mismatch(_type, _software, type, software);
    if (!wrong.empty() && _endUnacknowledged) {
        failUnacknowledged();
        return;
    }
    if (!wrong.empty()) {
        const bool swWrong = !_software.empty() && _software != (software ? software : "");
        failed(wrong, swWrong ? Translated::message("Upgrade mislukt: de Korvan meldt %s na de upgrade, verwacht %s",
                                                software, _software.c_str())
                              : Translated::message("Upgrade mislukt: de Korvan meldt %s na de upgrade, verwacht %s", type,
                                                _type.c_str()));
        return;
    }
    _root->statusNote(_root->withBackup(_endUnacknowledged ? KvctrlUpgrOutcome::finishedUnacknowledged(software)
                                                           : KvctrlUpgrOutcome::finished(software)));
    if (_unattended) {
        _root->frmStatusInfo(gettext("Upgrading Ready", 0), false);
        endCommandLineRun();
    }
}

void KvctrlVersionCheck::timedOut()
{
    if (!_waiting) return;
    cancel();
    if (_endUnacknowledged) {
        failUnacknowledged();
        return;
    }
    failed("the unit did not report itself within " + std::to_string(VERSION_WAIT_S) + " s after the upgrade",
           Translated::message("Upgrade mislukt: de Korvan meldde zich niet binnen %d s na de upgrade", VERSION_WAIT_S));
}

void KvctrlVersionCheck::failed(const std::string& english, const std::string& told)
{
    BTrace::instance()->dbgPrint("Upgrade failed: " + english, true, true);
    if (_unattended) {
        KvctrlUnattended::fail(RunFailure::Kind::Verify, english);
        endCommandLineRun();
        return;
    }
    const std::string text = _root->withBackup(told);
    _root->statusNote(text);
    Dialog::alert("%s", text.c_str());
}

void KvctrlVersionCheck::endCommandLineRun() { Main::_shutdown = true; }
