// The upgrade tab: opening it, its "Upgrade" button, and the check of the
// chosen image when the unit reports itself from its boot loader.

#include <FL/Fl.H>
#include <FL/Fl_Check_Button.H>

#include <initializer_list>
#include <string>

#include "bdebug/BAssert.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/RPOut.h"
#include "korprog/progctrl/Data/RPText.h"
#include "korprog/progctrl/Data/Translated.h"
#include "korprog/progctrl/Data/RPallowHwList.h"
#include "korprog/progctrl/Data/RPbinList.h"
#include "korprog/progctrl/Data/RPbtUpgrade.h"
#include "korprog/progctrl/Data/RPrefPackList.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Data/SBTabSheet.h"
#include "korprog/progctrl/Data/SBTabs.h"
#include "korprog/progctrl/Data/SettingBin.h"
#include "korprog/progctrl/Forms/FrmKorProg.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/progctrl/Run/KvctrlRunPlan.h"
#include "korprog/progctrl/States/KvctrlBndToProt.h"
#include "korprog/progctrl/States/KvctrlRoot.h"

void FrmKorProgImpl::btOptCkSwUpgrade()
{
    const bool ticked = _frame->_optUpgrade && _frame->_optUpgrade->value();
    if (!_root->upgrInitByKor() && !ticked) {
        // The settings being edited stay as they are; an upgrade tab gives
        // way to them again.
        if (upgradeTabOpen()) {
            _frame->editClose();
            if (*_settingBin->korType()) _frame->createSettingEdit();
        }
        return;
    }
    if (!_root->revPack()) _root->createRevPack();
    RevPackDb* db = _root->revPack();
    if (!db->exist()) return;
    _frame->editClose();
    // No life-check time-out while the tab is open: the list closing
    // switches it on again.
    _root->stopLifeCkTimeout();
    _root->activeLifeCk(false);

    // The tab's widgets join their sheet explicitly, never a group someone
    // else is building.
    Fl_Group* building = Fl_Group::current();
    Fl_Group::current(nullptr);
    SBTabs* editor = _frame->_settingEdit;
    SBTabSheet* sheet = new SBTabSheet(editor, gettext("RevPack Software Upgrade", 0), gettext(RPText::TAB_HELP, 0));
    RPOut* type = new RPOut("Korvan Type: ");
    RPOut* version = new RPOut("Software Version: ");
    RPOut* hardware = new RPOut("Hardware Version: ");
    RPOut* special = new RPOut("Software Special: ");
    RPallowHwList* allowHw = new RPallowHwList();
    _binList = new RPbinList(db, type, version, hardware, special, _root, allowHw);
    _rpList = new RPrefPackList(db, _binList, _root);
    _binList->refreshList();
    _rpList->placeOnTabSheet(sheet);
    _binList->placeOnTabSheet(sheet);
    for (RPOut* out : {type, version, hardware, special}) out->placeOnTabSheet(sheet);
    allowHw->placeOnTabSheet(sheet);
    _btUpgrade = new RPbtUpgrade(this);
    _btUpgrade->placeOnTabSheet(sheet);
    Fl_Group::current(building);

    // The widgets go with the sheet (when the editor closes): the pointers
    // must not outlive them.
    _upgradeTab = sheet;
    Fl::watch_widget_pointer(_upgradeTab);
    editor->redraw();
    sheet->redraw();
}

bool FrmKorProgImpl::upgradeTabOpen()
{
    if (_upgradeTab) return true;
    _rpList = nullptr;
    _binList = nullptr;
    _btUpgrade = nullptr;
    return false;
}

void FrmKorProgImpl::activateUpgradeTab(bool on)
{
    for (Fl_Widget* w : std::initializer_list<Fl_Widget*>{_btUpgrade, _rpList, _binList}) {
        if (on)
            w->activate();
        else
            w->deactivate();
    }
}

bool FrmKorProgImpl::btExecUpgrade()
{
    if (!upgradeTabOpen()) return false;
    const bool byUnit = _root->upgrInitByKor();
    const std::string image = _binList->value();
    if (!byUnit && (image.empty() || !_root->connected())) return false;

    activateUpgradeTab(false);
    _ctrlBnd = _frame->ctrlBndSt();
    _rpDb = _root->revPack();
    KvctrlRunPlan* plan = _root->runPlan();
    KvctrlRunPlan::Prepared prepared;
    bool ok = _rpDb && !image.empty() && _rpDb->checkCheckSum(_rpList->value(), false);
    if (ok) {
        // The pack was chosen before: its loader is chosen again for the
        // unit connected now.
        const bool chosen = _rpDb->setBootData(nullptr);
        prepared = plan->prepareUpgrade(image.c_str(), byUnit);
        ok = prepared.fault == KvctrlRunPlan::Fault::None;
        // One chosen that fits no frame is refused like none at all, before
        // the unit is sent into its boot loader for an image that cannot follow.
        if (chosen && prepared.fault == KvctrlRunPlan::Fault::NoBootLoader)
            _root->frmStatusInfo(Translated::message("Invalid Revpack:%s. No 2nd boot for HW version: %s", _rpDb->actRpFile(),
                                                 RevPackDb::actHwVersion())
                                     .c_str(),
                                 true);
    }
    if (!ok) {
        _root->activeLifeCk(true);
        activateUpgradeTab(true);
        return false;
    }
    _root->binFileSet(true);
    _root->activeLifeCk(true);
    if (byUnit || !_ctrlBnd) return true;  // the controller waits for binFileSet
    // The image's own settings go into the unit first; the upgrade follows
    // when they are in.
    const bool withSettings = !prepared.settings.empty();
    if (withSettings && !loadSettings(prepared.settings)) return true;
    plan->startUpgrade(_ctrlBnd, withSettings);
    return true;
}

bool FrmKorProgImpl::checkTypeHwVers()
{
    RevPackDb* db = _root->revPack();
    if (!db) {
        B_ERROR("rpDb and binList has no value");
        return false;
    }
    // The tab's choice; with the tab closed, the image loaded when it was open.
    const char* image = upgradeTabOpen() ? _binList->value() : db->binFile();
    return *image && db->checkTypeSwHwVers(image);
}
