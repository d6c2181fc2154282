// The main window on the screen it opens on: its own size where the screen has room, and otherwise all of it,
// the print button included, on the screen. The window test runs on whatever screen the platform has: the
// laptop screen offscreen, and each screen of the X server runs (tests/e2e/window-on-screen.sh), with or
// without a window manager.
#include "AppTestSupport.h"
#include "QuilmPrint/shared/Controls.h"
#include "QuilmPrint/shell/AppDelegate.h"
#include "QuilmPrint/shell/ContentView.h"
#include "QuilmPrint/shell/MainWindow.h"
#include "QuilmPrint/window/ActionBar.h"
#include "shared/RecordingDesktop.h"
#include "shared/WindowTestSupport.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace QuilmPrint;

TEST(OpeningFrameTest, KeepsItsSizeWhereItFitsAndOtherwiseFillsTheFreeAreaWithinTheMinimum) {
    const QSize preferred(1280, 820), minimum(900, 560);
    const QMargins none, openbox(1, 22, 1, 5);
    // Room for the window and its frame: the window manager places it.
    EXPECT_EQ(openingFrame(preferred, minimum, QRect(0, 0, 1920, 1080), openbox),
              (OpeningFrame{preferred, std::nullopt}));
    EXPECT_EQ(openingFrame(preferred, minimum, QRect(0, 0, 1282, 847), openbox),
              (OpeningFrame{preferred, std::nullopt}));
    // One pixel short with the frame: as tall as the area less the frame, centred across it, frame at its
    // top.
    EXPECT_EQ(openingFrame(preferred, minimum, QRect(0, 0, 1282, 846), openbox),
              (OpeningFrame{QSize(1280, 819), QPoint(0, 0)}));
    EXPECT_EQ(openingFrame(preferred, minimum, QRect(0, 0, 1366, 768), none),
              (OpeningFrame{QSize(1280, 768), QPoint(43, 0)}));
    // A panel above the free area of a second screen to the right.
    EXPECT_EQ(openingFrame(preferred, minimum, QRect(1366, 28, 1024, 740), openbox),
              (OpeningFrame{QSize(1022, 740 - 27), QPoint(1366, 28)}));
    // Smaller than the minimum: the minimum, from the area's top left, where the title bar stays in reach.
    EXPECT_EQ(openingFrame(preferred, minimum, QRect(0, 0, 800, 480), none),
              (OpeningFrame{minimum, QPoint(0, 0)}));
}

TEST(MainWindowOnScreenTest, OpensAtItsSizeWhereTheScreenHoldsItAndElsewhereWhollyOnTheScreen) {
    RecordingDesktop::install();
    AppTestSupport::Sandbox sandbox;
    AppDelegate delegate;
    MainWindow window(&delegate, sandbox.environment());
    const QRect available = window.screen()->availableGeometry();
    // The X server runs name the screen they made, so that a run on another screen cannot pass unnoticed.
    const QString screenSize =
        QStringLiteral("%1x%2").arg(window.screen()->size().width()).arg(window.screen()->size().height());
    if (const char* expected = std::getenv("QUILM_EXPECTED_SCREEN"); expected && *expected) {
        ASSERT_EQ(screenSize, QString::fromUtf8(expected));
    }
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QWidget* print = window.content()->actionBar()->printButton();
    const auto printOnScreen = [&] {
        return available.contains(QRect(print->mapToGlobal(QPoint(0, 0)), print->size()));
    };
    // A window manager frames the window, and the window may take its size again, some moments after it is
    // shown: what counts is where it comes to rest.
    const auto rests = [&] {
        const QSize room = available.size().shrunkBy(window.windowHandle()->frameMargins());
        if (room.width() >= 1280 && room.height() >= 820)
            return window.size() == QSize(1280, 820);
        return available.contains(window.frameGeometry()) && printOnScreen();
    };
    const bool rested = QTest::qWaitFor(rests, 5000);
    QTest::qWait(300); // nothing moves it afterwards
    EXPECT_TRUE(rested && rests()) << "window " << window.frameGeometry().x() << ","
                                   << window.frameGeometry().y() << " " << window.frameGeometry().width()
                                   << "x" << window.frameGeometry().height() << " on " << available.width()
                                   << "x" << available.height();
    EXPECT_TRUE(available.contains(window.frameGeometry()));
    EXPECT_TRUE(printOnScreen());
    EXPECT_TRUE(print->isVisible());
    EXPECT_GE(window.width(), window.minimumSizeHint().width());
    EXPECT_GE(window.height(), window.minimumSizeHint().height());
    // The screen as a person sees it, frame and all where a window manager draws one.
    const char* note = std::getenv("QUILM_SCREEN_NOTE");
    const QString name =
        QStringLiteral("window-on-screen-") + screenSize + QString::fromUtf8(note ? note : "");
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        WindowTest::saveArtifact(window.screen()->grabWindow(0).toImage(), name);
    else
        WindowTest::saveArtifact(&window, name);
}
