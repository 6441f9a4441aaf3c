#include "korprog/progctrl/Data/Fl_Input_Choice.h"

#include <gtest/gtest.h>

#include <FL/Fl_Double_Window.H>
#include <memory>

#include "support/FlEvents.h"

using namespace FlEvents;

// The COM-port list: device paths of any shape, up to 255 characters.
TEST(InputChoiceTest, DevicePathsAreShownAndChosenWhole)
{
    std::unique_ptr<Fl_Double_Window> win(new Fl_Double_Window(100, 100, 300, 120, "Opties"));
    auto* port = new kp::Fl_Input_Choice(140, 10, 150, 25, "Com Poort:");
    win->end();
    win->show();
    settle();

    std::string byId = "/dev/serial/by-id/usb-FTDI_&_Co";
    byId += std::string(255 - byId.size(), 'x');
    int calls = 0;
    port->callback([](Fl_Widget*, void* n) { ++*static_cast<int*>(n); }, &calls);
    port->add("/tmp/korvan0");
    port->add(byId.c_str());
    port->add("/tmp/korvan0");  // the active port may also be among those found
    EXPECT_EQ(port->size(), 3);
    EXPECT_EQ(port->menubutton()->size(), 4);  // no submenus, no merged items

    port->value(0);
    EXPECT_STREQ(port->value(), "/tmp/korvan0");
    EXPECT_EQ(port->menuValue(), 0);

    // Typing goes nowhere; the list drops down from the text as from the arrow.
    menuKeys({FL_Escape});
    click(port, 20);
    type("COM9");
    EXPECT_STREQ(port->value(), "/tmp/korvan0");
    EXPECT_EQ(calls, 0);
    menuKeys({FL_Down, FL_Enter});
    click(port, 20);
    EXPECT_EQ(port->value(), byId);
    EXPECT_EQ(port->menuValue(), 1);
    EXPECT_EQ(calls, 1);

    menuKeys({FL_Down, FL_Enter});
    click(port, port->w() - 5);
    EXPECT_EQ(port->menuValue(), 2);
    EXPECT_EQ(calls, 2);
}

// Made editable (the options' port), the field takes typing; the arrow
// still drops the list, and typing goes on after the text chosen.
TEST(InputChoiceTest, EditableFieldTakesTypingAndTheArrowTheList)
{
    std::unique_ptr<Fl_Double_Window> win(new Fl_Double_Window(100, 100, 300, 120, "Opties"));
    auto* port = new kp::Fl_Input_Choice(140, 10, 150, 25, "Com Poort:");
    win->end();
    port->editable(true);
    port->add("/dev/ttyUSB0");
    win->show();
    settle();

    click(port->input());
    EXPECT_EQ(Fl::grab(), nullptr) << "a click on the text drops nothing";
    type("/tmp/korvan0");
    EXPECT_STREQ(port->value(), "/tmp/korvan0");

    menuKeys({FL_Down, FL_Enter});
    click(port, port->w() - 5);
    EXPECT_STREQ(port->value(), "/dev/ttyUSB0");
    type("x");
    EXPECT_STREQ(port->value(), "/dev/ttyUSB0x");
}
