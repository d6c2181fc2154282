// Where a popover opens: beside or above its button, inside the window when the window holds it, always on
// the screen, and cut to the room there is when no side holds it.
#include "QuilmPrint/shared/Popover.h"

#include <gtest/gtest.h>

using namespace QuilmPrint;
using Popover::Side;

namespace {
const QSize driverList(520, 460), jobsPanel(340, 515);
} // namespace

TEST(PopoverTest, ABesideListStaysInsideTheWindowWhenItCanAndOnTheScreenAlways) {
    // A button near the bottom of a 1280 × 820 window on a large screen: centred on the button the list
    // would hang 170 px below the window.
    const QRect screen(0, 0, 1600, 1000), window(0, 0, 1280, 820);
    EXPECT_EQ(Popover::frame(driverList, QRect(1230, 760, 44, 24), screen, window, Side::leading),
              QRect(1230 - 6 - 520, 820 - 460, 520, 460));
    EXPECT_EQ(Popover::frame(driverList, QRect(1230, 400, 44, 24), screen, window, Side::leading),
              QRect(704, 412 - 230, 520, 460)); // centred where there is room
    // A window lower than the list: the screen holds it.
    EXPECT_EQ(
        Popover::frame(driverList, QRect(1230, 950, 44, 24), screen, QRect(0, 600, 1280, 400), Side::leading),
        QRect(704, 1000 - 460, 520, 460));
    // A screen lower than the list: the list takes all of its height and scrolls.
    const QRect low(0, 20, 1024, 400);
    EXPECT_EQ(Popover::frame(driverList, QRect(900, 300, 44, 24), low, low, Side::leading),
              QRect(374, 20, 520, 400));
    // No room on the leading side: the other side.
    EXPECT_EQ(Popover::frame(driverList, QRect(100, 400, 44, 24), screen, screen, Side::leading),
              QRect(150, 182, 520, 460));
}

TEST(PopoverTest, AnAboveListOpensBelowWithoutRoomAboveAndScrollsInTheLargerSideWhenNeitherHoldsIt) {
    const QRect screen(0, 0, 1366, 768);
    EXPECT_EQ(
        Popover::frame(jobsPanel, QRect(880, 700, 52, 30), screen, QRect(40, 24, 1280, 720), Side::above),
        QRect(932 - 340, 700 - 6 - 515, 340, 515));
    EXPECT_EQ(Popover::frame(jobsPanel, QRect(20, 700, 52, 30), screen, QRect(), Side::above).left(), 0);
    EXPECT_EQ(Popover::frame(jobsPanel, QRect(880, 40, 52, 30), screen, QRect(), Side::above),
              QRect(592, 76, 340, 515));
    const QRect low(0, 0, 1366, 600);
    EXPECT_EQ(Popover::frame(jobsPanel, QRect(880, 320, 52, 30), low, QRect(), Side::above),
              QRect(592, 0, 340, 314));
    EXPECT_EQ(Popover::frame(jobsPanel, QRect(880, 250, 52, 30), low, QRect(), Side::above),
              QRect(592, 286, 340, 314));
}
