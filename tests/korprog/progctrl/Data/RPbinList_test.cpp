// The upgrade tab's widgets on an editor sheet: packs and images listed from
// packs FLTK itself wrote, the preselections, choosing with the mouse, what
// the chosen image shows, and the layout.

#include "korprog/progctrl/Data/RPbinList.h"

// GoogleTest before the FLTK headers that bring in X11's macros (None).
#include "TempDir.h"

#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Help_View.H>
#include <memory>

#include "korprog/progctrl/Data/RPOut.h"
#include "korprog/progctrl/Data/RPallowHwList.h"
#include "korprog/progctrl/Data/RPrefPackList.h"
#include "korprog/progctrl/Data/RevPackDb.h"
#include "korprog/progctrl/Data/SBTabSheet.h"
#include "korprog/progctrl/Data/SBTabs.h"
#include "korprog/progctrl/States/KvctrlRoot.h"
#include "main/Main.h"
#include "support/FlEvents.h"
#include "support/FlPrefsPack.h"

using namespace FlEvents;

namespace {

const char* const UNIT_TYPE = "KV8888GM-ED";

FlPrefsImage image(const std::string& name, const std::string& type, const std::string& version,
                   const std::string& hardware, const std::string& special)
{
    return {name, type, version, hardware, special, std::string(300, 'x'), "", ""};
}

// Two packs in a RevPacks directory; the unit is a KV8888GM-ED on B.49.
// The tab is built as the window builds it, on a sheet of a shown editor.
class UpgradeTabTest : public DataTest {
protected:
    void SetUp() override
    {
        DataTest::SetUp();
        packs = dir.path() + "/RevPacks";
        TempDir::write("TabRevPacks.html", "<p>RevPack hulp</p>");
        packA = writeFlPrefsPack(packs, "KV-4.20",
                                 {image("BOOT_LOAD_B49.bin", "", "", "49", ""),
                                  image("KV8888GM-ED_420.bin", UNIT_TYPE, "KV-4.20", "B.49", "     "),
                                  image("KV4400WS-BX_420.bin", "KV4400WS-BX", "KV-4.20", "B.49", "     "),
                                  image("KV8888GM-ED_412.bin", UNIT_TYPE, "KV-4.12", "C.49", "XTR   ")});
        packB = writeFlPrefsPack(packs, "KV-10.00", {image("KV8888GM-ED_600.bin", UNIT_TYPE, "KV-6.00", "H.49", "")});
        RevPackDb::setActHwSwVers(UNIT_TYPE, "KV-4.12", "     ", "B.49");
        db.reset(new RevPackDb(&root, packs.c_str()));
    }
    void TearDown() override
    {
        win.reset();
        RevPackDb::setActHwSwVers("", "", "", "");
        Main::_refPackFile = nullptr;
        DataTest::TearDown();
    }

    void buildTab()
    {
        win.reset(new Fl_Double_Window(50, 50, 1060, 400, "upgrade"));
        help = new Fl_Help_View(714, 10, 335, 380);
        tabs = new SBTabs(10, 10, 700, 340);
        win->end();
        tabs->helpView(help);
        sheet = new SBTabSheet(tabs, "RevPack Software Upgrade", "");
        for (int i = 0; i < 4; ++i) outs[i] = new RPOut(LABELS[i]);
        allowHw = new RPallowHwList();
        binList = new RPbinList(db.get(), outs[0], outs[1], outs[2], outs[3], &root, allowHw);
        packList = new RPrefPackList(db.get(), binList, &root);
        packList->placeOnTabSheet(sheet);
        binList->placeOnTabSheet(sheet);
        for (RPOut* o : outs) o->placeOnTabSheet(sheet);
        allowHw->placeOnTabSheet(sheet);
        win->show();
        settle();
    }
    std::vector<std::string> lines(Flu_Combo_List* c) const
    {
        std::vector<std::string> out;
        for (int i = 1; i <= c->list.size(); ++i) out.push_back(c->list.text(i));
        return out;
    }
    std::string shown() const
    {
        std::string s;
        for (RPOut* o : outs) s += std::string(o->value()) + "|";
        return s + allowHw->value();
    }
    // A person opens the list and clicks its line (1-based).
    void choose(Flu_Combo_List* c, int line)
    {
        click(c, 10);
        ASSERT_TRUE(c->popped());
        Fl_Window* popup = c->list.window();
        const int lineH = c->list.textsize() + 6;
        clickAt(popup, popup->x() + 20, popup->y() + Fl::box_dy(c->list.box()) + (line - 1) * lineH + lineH / 2);
        ASSERT_FALSE(c->popped());
    }

    static constexpr const char* LABELS[4] = {"Korvan Type: ", "Software Version: ", "Hardware Version: ",
                                              "Software Special: "};
    std::string packs, packA, packB;
    KvctrlRoot root;
    std::unique_ptr<RevPackDb> db;
    std::unique_ptr<Fl_Double_Window> win;
    Fl_Help_View* help = nullptr;
    SBTabs* tabs = nullptr;
    SBTabSheet* sheet = nullptr;
    RPOut* outs[4] = {};
    RPallowHwList* allowHw = nullptr;
    RPbinList* binList = nullptr;
    RPrefPackList* packList = nullptr;
};

}  // namespace

TEST_F(UpgradeTabTest, ListsAllowedImagesOfTheFirstPackAndShowsTheFirst)
{
    buildTab();
    EXPECT_EQ(lines(packList), (std::vector<std::string>{packA, packB}));  // 4.20 before 10.00
    EXPECT_STREQ(packList->value(), packA.c_str());
    // No boot loader, no image of another type.
    EXPECT_EQ(lines(binList), (std::vector<std::string>{"KV8888GM-ED_420.bin", "KV8888GM-ED_412.bin"}));
    EXPECT_STREQ(binList->value(), "KV8888GM-ED_420.bin");
    EXPECT_EQ(shown(), "KV8888GM-ED|KV-4.20|B.49|     | B.** D.** C.**");
    EXPECT_STREQ(root.lastRevpackFile(), packA.c_str());
}

TEST_F(UpgradeTabTest, PreselectsTheReferencePackOverTheLastOverTheFirst)
{
    struct Case {
        const char* last;
        bool refA;
        const char* lastBin;
        std::string pack, bin;
    } cases[] = {
        {"", false, "", packA, "KV8888GM-ED_420.bin"},
        {"gone.rpa", false, "gone.bin", packA, "KV8888GM-ED_420.bin"},
        {packB.c_str(), false, "", packB, "KV8888GM-ED_600.bin"},
        {packB.c_str(), true, "KV8888GM-ED_412.bin", packA, "KV8888GM-ED_412.bin"},
        // The last image counts only while it is allowed.
        {packA.c_str(), false, "KV4400WS-BX_420.bin", packA, "KV8888GM-ED_420.bin"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.last) + (c.refA ? " ref" : "") + " " + c.lastBin);
        root.lastRevpackFile(c.last);
        root.lastBinFile(c.lastBin);
        Main::_refPackFile = c.refA ? packA.c_str() : nullptr;
        buildTab();
        EXPECT_STREQ(packList->value(), c.pack.c_str());
        EXPECT_STREQ(db->actRpFile(), c.pack.c_str());
        EXPECT_STREQ(binList->value(), c.bin.c_str());
    }
}

TEST_F(UpgradeTabTest, ChoosingLoadsTheImageShowsItAndTheHelp)
{
    buildTab();
    choose(binList, 2);
    EXPECT_STREQ(binList->value(), "KV8888GM-ED_412.bin");
    EXPECT_EQ(shown(), "KV8888GM-ED|KV-4.12|C.49|XTR   | B.** D.** C.**");
    EXPECT_EQ(db->binSize(), 300);
    EXPECT_STREQ(root.lastBinFile(), "KV8888GM-ED_412.bin");
    EXPECT_NE(std::string(help->value() ? help->value() : "").find("RevPack hulp"), std::string::npos);

    // Another pack lists its own images; an image without a special shows none.
    choose(packList, 2);
    EXPECT_STREQ(db->actRpFile(), packB.c_str());
    EXPECT_EQ(lines(binList), std::vector<std::string>{"KV8888GM-ED_600.bin"});
    EXPECT_EQ(shown(), "KV8888GM-ED|KV-6.00|H.49|| H.**");
}

TEST_F(UpgradeTabTest, PackWithoutAllowedImagesShowsNothing)
{
    RevPackDb::setActHwSwVers("KV4400PS-BX", "KV-4.12", "     ", "B.49");
    buildTab();
    EXPECT_TRUE(lines(binList).empty());
    EXPECT_STREQ(binList->value(), "");
    EXPECT_EQ(shown(), "||||");
}

TEST_F(UpgradeTabTest, WidgetsStandInTheTextColumnAThirdIn)
{
    buildTab();
    const int x = sheet->x() + sheet->w() / 3;
    std::vector<Fl_Widget*> order = {packList, binList, outs[0], outs[1], outs[2], outs[3], allowHw};
    int below = sheet->y();
    for (Fl_Widget* w : order) {
        EXPECT_EQ(w->x(), x) << w->label();
        EXPECT_GE(w->y(), below) << w->label();
        EXPECT_EQ(w->h(), 21);
        below = w->y() + w->h();
    }
    EXPECT_EQ(packList->w(), 360);
    EXPECT_EQ(outs[0]->w(), 180);
    EXPECT_EQ(allowHw->w(), 360);
    // The lists take the second of two rows: a free row above each.
    EXPECT_EQ(binList->y() - packList->y(), 2 * SBTabSheet::ROW_H);
    // Every label fits left of its widget, uncut.
    for (Fl_Widget* w : order) EXPECT_EQ(std::string(w->label()).find("..."), std::string::npos) << w->label();
}

TEST_F(UpgradeTabTest, ClosingTheTabSwitchesTheLifeCheckOnAgain)
{
    buildTab();
    root.activeLifeCk(false);
    tabs->editClose();
    EXPECT_TRUE(root.activeLifeCk());
}
