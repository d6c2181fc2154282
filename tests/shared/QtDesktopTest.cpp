// The desktop services on a desktop with nothing to open an address or a folder with: no browser, no file
// manager, no session bus. They must say so, so that the windows can tell the user.
#include "QuilmPrint/shared/QtDesktop.h"

#include "TestSupport.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace QuilmPrint;

TEST(QtDesktopTest, ADesktopWithNothingToOpenWithRefusesAddressesAndFolders) {
    TestSupport::TemporaryDirectory empty;
    TestSupport::ScopedEnvironment path("PATH", empty.path().string()), browser("BROWSER", std::nullopt),
        otherBrowser("DEFAULT_BROWSER", std::nullopt),
        bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (empty / "bus").string());
    QtDesktop desktop;
    EXPECT_FALSE(desktop.openURL(QUrl("http://127.0.0.1:8631/printers/")));
    bool refused = false;
    desktop.reveal(empty / "페이지 1.pdf", [&] { refused = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return refused; }, 7000));
}
