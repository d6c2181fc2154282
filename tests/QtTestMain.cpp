// The test programs of the application run their tests inside a Qt application object, on the offscreen
// platform unless the caller chose another, with private runtime and configuration folders. A program built
// with a screen description (the whole window's tests) gets that screen from the offscreen platform instead
// of its default 800 × 800 one, which is smaller than the window.
#include <gtest/gtest.h>

#ifdef QUILM_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

#include <QTemporaryDir>
#include <clocale>
#include <cstdlib>
#include <string_view>

int main(int argc, char** argv) {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (!platform || std::string_view(platform) == "offscreen") {
#ifdef QUILM_TEST_SCREEN
        setenv("QT_QPA_PLATFORM", "offscreen:configfile=" QUILM_TEST_SCREEN, 1);
#else
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
#endif
    }
    QTemporaryDir runtime, config;
    setenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit().constData(), 1);
    // The user's own settings and custom papers never reach a test; tests that need some write their own.
    setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    TestApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
