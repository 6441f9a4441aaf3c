#ifndef TESTS_KORPROG_PROGCTRL_FORMS_WINDOWTESTKIT_H
#define TESTS_KORPROG_PROGCTRL_FORMS_WINDOWTESTKIT_H

// The real main window on the real controller, in a directory of its own
// with the product's data files, driven through FLTK's event handling as a
// person would: find a control by its label, click it, type. Needs a display.

#include "korprog/progctrl/States/KvctrlTestKit.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Output.H>

#include "korprog/progctrl/Data/SBInput.h"
#include "korprog/progctrl/Data/SBTabs.h"
#include "korprog/progctrl/Forms/FrmKorProg.h"
#include "support/FlEvents.h"

// A screenshot of the display, when KORPROG_SHOTS names a directory.
inline void shot(const std::string& name)
{
    const char* to = std::getenv("KORPROG_SHOTS");
    if (!to) return;
    for (int i = 0; i < 20; ++i) Fl::wait(0.02);  // the display maps and paints; only looking waits
    EXPECT_EQ(std::system(("xwd -root -silent | /usr/bin/convert xwd:- '" + std::string(to) + "/" + name + ".png'").c_str()), 0);
}

class WindowTest : public KvctrlTest {
protected:
    void SetUp() override
    {
        KvctrlTest::SetUp();
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "the window needs a display";
        const char* data = std::getenv("KORPROG_TEST_DATA");
        ASSERT_NE(data, nullptr) << "KORPROG_TEST_DATA names the data directory; ctest sets it";
        for (const char* f : {"config.csv", "Startup.html", "Ombrix_KorProg.gif"})
            std::filesystem::copy_file(std::filesystem::path(data) / f, f);
        productIni = ksimtest::readFile((std::filesystem::path(data) / "config.ini").string());
        KvctrlRoot::viewFactory = [](KvctrlRoot* r, SettingBin* b) -> KvctrlView* { return new FrmKorProg(r, b); };
    }
    void TearDown() override
    {
        KvctrlTest::TearDown();
        FlEvents::settle();
    }

    // The program with the product's preferences and `port` chosen.
    void open(const std::string& port)
    {
        std::string ini = productIni;
        const size_t at = ini.find("comport=");
        ini.replace(at, ini.find('\n', at) - at, "comport=" + port);
        std::ofstream("config.ini") << ini;
        root = new KvctrlRoot();
        root->initialize();
        helmtest::drain();
        FlEvents::settle();
    }
    // The unit by a link its simulator removes when it ends: a unit pulled
    // out leaves nothing to open again, where its terminal's number may
    // already be another test's unit.
    std::string simLink() const { return sim.path("korvan0"); }
    bool openOnSim(std::vector<std::string> args)
    {
        args.insert(args.end(), {"--adn", sim.path("unit.adn"), "--link", simLink()});
        if (!sim.start(args)) return false;
        open(simLink());
        return until([this] { return status() == "Verbonden"; });
    }
    // Ends the program as the main loop does once it is asked to.
    void endProgram()
    {
        root->abort();
        helmtest::drain();
        delete root;
        root = nullptr;
        helmtest::drain();
    }

    FrmKorProg* frame() const { return dynamic_cast<FrmKorProg*>(root->frame()); }
    Fl_Double_Window* main() const { return frame()->mainWindow(); }

    // The widget labelled `label` inside g (the main window by default).
    template <class W = Fl_Widget>
    W* find(const std::string& label, Fl_Group* g = nullptr)
    {
        if (!g) g = main();
        for (int i = 0; i < g->children(); ++i) {
            Fl_Widget* c = g->child(i);
            if (c->label() && label == c->label() && dynamic_cast<W*>(c)) return dynamic_cast<W*>(c);
            if (Fl_Group* sub = c->as_group())
                if (W* w = find<W>(label, sub)) return w;
        }
        return nullptr;
    }
    void press(const std::string& label, Fl_Group* g = nullptr)
    {
        Fl_Widget* w = find(label, g);
        ASSERT_NE(w, nullptr) << label;
        FlEvents::click(w);
        helmtest::drain();
    }
    // The shown windows titled `title`.
    static std::vector<Fl_Window*> windows(const std::string& title)
    {
        std::vector<Fl_Window*> out;
        for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w))
            if (w->label() && title == w->label()) out.push_back(w);
        return out;
    }
    std::string value(const std::string& label)
    {
        Fl_Input_* in = find<Fl_Input_>(label);
        return in ? in->value() : "<no " + label + ">";
    }
    std::string status() { return value("Status Info:"); }
    bool buttonsActive()
    {
        int active = 0;
        for (const char* b : {"Nieuw", "Open", "Opslaan", "Programmeren", "Ophalen", "Opties"})
            active += find(b)->active() ? 1 : 0;
        EXPECT_TRUE(active == 0 || active == 6) << "the six buttons go together";
        return active == 6;
    }
    SBTabs* editor() { return anyTabs(main()); }
    static SBTabs* anyTabs(Fl_Group* g)
    {
        for (int i = 0; i < g->children(); ++i) {
            if (SBTabs* t = dynamic_cast<SBTabs*>(g->child(i))) return t;
            if (Fl_Group* sub = g->child(i)->as_group())
                if (SBTabs* t = anyTabs(sub)) return t;
        }
        return nullptr;
    }
    // The editor's input for one part of one entry.
    SBInput* input(int nr, char part)
    {
        SBTabs* tabs = editor();
        for (int t = 0; tabs && t < tabs->children(); ++t) {
            Fl_Group* sheet = tabs->child(t)->as_group();
            for (int i = 0; sheet && i < sheet->children(); ++i) {
                SBInput* w = dynamic_cast<SBInput*>(sheet->child(i));
                if (w && w->sbEntry()->entry() == nr && w->sbEntry()->list() == part) return w;
            }
        }
        return nullptr;
    }
    // Replaces the text of an input as a user does: click, select all, type.
    static void retype(Fl_Widget* w, const std::string& text)
    {
        FlEvents::click(w);
        FlEvents::key('a', "\x01", FL_CTRL);
        FlEvents::type(text);
    }

    // The main loop's passes (window events included) until pred holds.
    bool until(const std::function<bool()>& pred, int ms = 20000)
    {
        return waitFor(
            [&pred] {
                Fl::wait(0);
                return pred();
            },
            ms);
    }

    std::string productIni;
};

#endif
