// The desktop services on a desktop with nothing to open an address or a folder with: no browser, no file
// manager, no session bus. They must say so, so that the windows can tell the user.
#include "QuilmPrint/shared/QtDesktop.h"

#include "TestSupport.h"

#include <QTest>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

using namespace QuilmPrint;

TEST(QtDesktopTest, ADesktopWithNothingToOpenWithRefusesAddressesAndFolders) {
    TestSupport::TemporaryDirectory empty;
    std::vector<std::pair<const char*, QByteArray>> saved;
    for (const char* name : {"PATH", "BROWSER", "DEFAULT_BROWSER", "DBUS_SESSION_BUS_ADDRESS"})
        saved.emplace_back(name, qgetenv(name));
    qputenv("PATH", QByteArray::fromStdString(empty.path().string()));
    qunsetenv("BROWSER");
    qunsetenv("DEFAULT_BROWSER");
    qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArray::fromStdString("unix:path=" + (empty / "bus").string()));

    QtDesktop desktop;
    EXPECT_FALSE(desktop.openURL(QUrl("http://127.0.0.1:8631/printers/")));
    bool refused = false;
    desktop.reveal(empty / "페이지 1.pdf", [&] { refused = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return refused; }, 7000));

    for (const auto& [name, value] : saved)
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
}
