// Where a popover opens: beside or above its button, inside the window when the window holds it, always on
// the screen, and cut to the room there is when no side holds it.
#include "QuilmPrint/shared/Popover.h"

#include <gtest/gtest.h>

using namespace QuilmPrint;
using Popover::Side;

TEST(PopoverTest, OpensBesideOrAboveItsButtonInsideTheWindowWhenItCanAndOnTheScreenAlways) {
    const QSize driverList(520, 460), jobsPanel(340, 515);
    const QRect large(0, 0, 1600, 1000), laptop(0, 0, 1366, 768), low(0, 20, 1024, 400),
        lowWide(0, 0, 1366, 600);
    // size, button, screen, window, side; the frame
    const std::tuple<QSize, QRect, QRect, QRect, Side, QRect> cases[] = {
        // Near the bottom of a window on a large screen: centred on the button the list would hang 170 px
        // below the window.
        {driverList, {1230, 760, 44, 24}, large, {0, 0, 1280, 820}, Side::leading, {704, 360, 520, 460}},
        {driverList, {1230, 400, 44, 24}, large, {0, 0, 1280, 820}, Side::leading, {704, 182, 520, 460}},
        // A window lower than the list: the screen holds it.
        {driverList, {1230, 950, 44, 24}, large, {0, 600, 1280, 400}, Side::leading, {704, 540, 520, 460}},
        // A screen lower than the list: all of its height, and the list scrolls.
        {driverList, {900, 300, 44, 24}, low, low, Side::leading, {374, 20, 520, 400}},
        // No room on the leading side: the other side.
        {driverList, {100, 400, 44, 24}, large, large, Side::leading, {150, 182, 520, 460}},
        {jobsPanel, {880, 700, 52, 30}, laptop, {40, 24, 1280, 720}, Side::above, {592, 179, 340, 515}},
        {jobsPanel, {20, 700, 52, 30}, laptop, {}, Side::above, {0, 179, 340, 515}},
        // No room above: below.
        {jobsPanel, {880, 40, 52, 30}, laptop, {}, Side::above, {592, 76, 340, 515}},
        // Neither side holds it: the larger one, and the list scrolls.
        {jobsPanel, {880, 320, 52, 30}, lowWide, {}, Side::above, {592, 0, 340, 314}},
        {jobsPanel, {880, 250, 52, 30}, lowWide, {}, Side::above, {592, 286, 340, 314}},
    };
    for (const auto& [size, button, screen, window, side, expected] : cases)
        EXPECT_EQ(Popover::frame(size, button, screen, window, side), expected)
            << button.x() << "," << button.y() << " on " << screen.height() << " px";
}
