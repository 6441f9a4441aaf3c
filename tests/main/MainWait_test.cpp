// The main loop's wait: input on a watched descriptor ends it at once, and a
// descriptor with nothing to read, or one a dialog's own loop cannot read,
// cannot keep a loop busy.

#include <FL/Fl.H>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "korprog/Dialog.h"
#include "main/MainWait.h"
#include "support/ScriptedDialogs.h"

// Last: Xlib's macros (None, Status) would clash with names above.
#include <FL/x.H>

namespace {

struct Pipe {
    int fd[2] = {-1, -1};
    Pipe() { EXPECT_EQ(::pipe(fd), 0); }
    ~Pipe()
    {
        for (int f : fd)
            if (f >= 0) ::close(f);
    }
    void closeWriter()
    {
        ::close(fd[1]);
        fd[1] = -1;
    }
};

TEST(MainWait, InputEndsTheWaitAtOnceAndOnlyForWatchedDescriptors)
{
    Pipe line, console;
    MainWait w;
    EXPECT_FALSE(w.wait(0.0, {line.fd[0], console.fd[0], -1})) << "nothing arrived";
    ASSERT_EQ(::write(console.fd[1], "x", 1), 1);
    EXPECT_FALSE(w.wait(0.0, {line.fd[0]})) << "the console is not watched this time";
    // Without the watch this would take the whole minute.
    EXPECT_TRUE(w.wait(60.0, {line.fd[0], console.fd[0]}));
    EXPECT_TRUE(w.wait(60.0, {console.fd[0]})) << "unread input ends every wait";
}

TEST(MainWait, ADescriptorWithNothingToReadSitsOutTheNextWait)
{
    Pipe hungUp, line;
    hungUp.closeWriter();  // readable for ever, with nothing to read
    MainWait w;
    EXPECT_TRUE(w.wait(60.0, {hungUp.fd[0]}));
    EXPECT_FALSE(w.wait(0.0, {hungUp.fd[0]}));
    EXPECT_TRUE(w.wait(60.0, {hungUp.fd[0]})) << "watched again after sitting out one wait";

    ASSERT_EQ(::write(line.fd[1], "x", 1), 1);
    EXPECT_TRUE(w.wait(60.0, {line.fd[0]}));
    EXPECT_TRUE(w.wait(60.0, {line.fd[0]})) << "input that waits is no reason to sit out";
}

MainWait* g_wait = nullptr;

TEST(MainWait, ADialogOpenedDuringTheWaitRunsItsLoopWithoutTheDescriptors)
{
    // FLTK reads its display's queue when asked what is ready.
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    fl_open_display();
    Pipe line, hungUp;
    hungUp.closeWriter();
    ASSERT_EQ(::write(line.fd[1], "x", 1), 1);
    MainWait w;
    g_wait = &w;
    Dialog::setModalHooks([] { g_wait->suspend(); }, [] { g_wait->resume(); });
    ScriptedDialogs dialogs;
    int readyInDialog = -1;
    dialogs.whileOpen = [&] { readyInDialog = Fl::ready(); };
    // A window's callback opens an alert; the port has input and the
    // console hung up, and nobody reads either until the alert is closed.
    Fl::add_timeout(0.0, [](void*) { Dialog::alert("x"); });
    EXPECT_TRUE(w.wait(60.0, {line.fd[0], hungUp.fd[0]}));
    Dialog::setModalHooks(nullptr, nullptr);
    EXPECT_EQ(readyInDialog, 0) << "the dialog's loop would spin on the descriptors";
    EXPECT_TRUE(w.wait(60.0, {line.fd[0]})) << "watched again after the dialog";
}

}  // namespace
