// The revision-pack creation window: the directory of images, the pack
// built from it, and the restrictions file opened in the user's editor.

#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Output.H>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bdebug/BTrace.h"
#include "korprog/Dialog.h"
#include "korprog/progctrl/Data/Language.h"
#include "korprog/progctrl/Data/Translated.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Forms/FrmKorProg.h"
#include "korprog/progctrl/Forms/ExternalEditor.h"
#include "korprog/progctrl/Forms/FrmKorProgImpl.h"
#include "korprog/progctrl/States/KvctrlRoot.h"

namespace {

const uint16_t CREATE_TRACE = BTrace::HIGH | BTrace::MED | BTrace::LOW;

}  // namespace

void FrmKorProgImpl::createRevPackWndw()
{
    _frame->closeOptionsWindow();
    _frame->closeRevPackWndw();
    _frame->crtRevPackWndw();
    _frame->showDialog(_frame->_crtRevPackWndw);
}

void FrmKorProgImpl::btSelectBin()
{
    const std::string dir = Dialog::chooseDir(gettext("Select a dir where *.bin files are stored", 0), "*.bin", "");
    if (!dir.empty() && _frame->_txtBinDir) _frame->_txtBinDir->value(dir.c_str());
}

void FrmKorProgImpl::createRevPack()
{
    const char* dir = _frame->_txtBinDir ? _frame->_txtBinDir->value() : "";
    if (_root->debugLevel() & CREATE_TRACE) BTrace::instance()->dbgPrint(std::string("bindir=") + dir);
    if (_frame->_txtBinDir) {
        _root->createRevPack();
        // A failure has been told by the database; what was made is told here.
        RevPackDb* db = _root->revPack();
        if (db->createDb(dir)) {
            const std::string pack = (std::filesystem::path(db->revpacksDir()) / db->createdPack()).string();
            Dialog::alert("%s\n", Translated::message("RevPack %s is geschreven.", pack.c_str()).c_str());
        }
    }
    _frame->closeRevPackWndw();
}

void FrmKorProgImpl::editSwHwRestr()
{
    char path[64];
    std::snprintf(path, sizeof path, "%s/%s.%s", RevPackDb::APPLICATION, RevPackDb::SWHWRESTR, "txt");
    std::error_code ec;
    const std::string shown = std::filesystem::absolute(path, ec).string();
    FILE* f = std::fopen(path, "r");
    if (!f) {
        Dialog::alert("%s \"%s\" %s.\n", gettext("Fout!! Bestand", 0), shown.c_str(), gettext("niet aanwezig", 0));
        return;
    }
    std::fclose(f);
    _editor->open(shown);
}
