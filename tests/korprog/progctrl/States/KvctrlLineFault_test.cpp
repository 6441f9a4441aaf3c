// The line going away under a connected controller: the simulator's
// terminal and its link vanish, and later a unit comes back under the same
// name.

#include <filesystem>

#include "korprog/progctrl/States/KvctrlStateList.h"
#include "korprog/progctrl/States/KvctrlTestKit.h"

namespace {

TEST_F(KvctrlTest, PortRemovedWhileConnectedIsLostThenTheUnitBackOnTheSameNameWorksAgain)
{
    const std::string link = dir + "/korvan0";
    ASSERT_TRUE(sim.start({"--link", link}));
    start(link);
    ASSERT_TRUE(waitFor([this] { return view.last() == "Verbonden"; }));

    sim.stop();  // the terminal closes, the link goes
    ASSERT_FALSE(std::filesystem::exists(link));
    for (int i = 0; i < 12 && view.last().rfind("RED ", 0) != 0; ++i) advance(100);
    EXPECT_EQ(view.last(), "RED COM poort niet beschikbaar");
    EXPECT_TRUE(inState(KVCTRLDISCONNECTED));
    for (int i = 0; i < 5; ++i) advance(100);  // polling a port that is not there changes nothing
    EXPECT_EQ(view.last(), "RED COM poort niet beschikbaar");

    SimProcess back;
    ASSERT_TRUE(back.start({"--link", link}));
    const bool found = waitFor(
        [this] {
            advance(10);
            return view.last() == "Verbonden";
        },
        5000);
    ASSERT_TRUE(found) << view.last();
    post(new KvctrlDldReqEvt());
    EXPECT_TRUE(waitFor([this] { return view.editorsOpened == 1 && view.last() == "Verbonden"; }, 10000))
        << "download after the unit came back: " << view.last();
    back.stop();
}

}  // namespace
