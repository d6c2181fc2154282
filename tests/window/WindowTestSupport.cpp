#include "WindowTestSupport.h"

#include "QuilmPrint/window/Theme.h"

#include <QApplication>
#include <QDir>
#include <QLayout>
#include <QSettings>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

// The window tests see the windows as the application shows them: Fusion, the palette and the fonts.
struct ApplicationLook : ::testing::Environment {
    void SetUp() override { QuilmPrint::Theme::apply(*qApp); }
};
[[maybe_unused]] const auto* look = ::testing::AddGlobalTestEnvironment(new ApplicationLook);

} // namespace

namespace WindowTest {

QImage grab(QWidget* widget) {
    widget->ensurePolished();
    if (widget->layout())
        widget->layout()->activate();
    QApplication::processEvents();
    QImage image = widget->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    image.setDevicePixelRatio(1);
    return image;
}

void saveArtifact(const QImage& image, const QString& name) {
    const QString folder = QStringLiteral(QUILM_SOURCE_DIR "/build/test-artifacts");
    QDir().mkpath(folder);
    image.save(folder + "/" + name + ".png");
}

void saveArtifact(QWidget* widget, const QString& name) {
    saveArtifact(grab(widget), name);
}

int distance(const QColor& a, const QColor& b) {
    return std::max(
        {std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

double coverage(const QColor& pixel, const QColor& background, const QColor& full) {
    double sum = 0;
    int channels = 0;
    const int p[] = {pixel.red(), pixel.green(), pixel.blue()};
    const int b[] = {background.red(), background.green(), background.blue()};
    const int f[] = {full.red(), full.green(), full.blue()};
    for (int i = 0; i < 3; ++i) {
        if (std::abs(f[i] - b[i]) < 8)
            continue;
        sum += double(p[i] - b[i]) / double(f[i] - b[i]);
        ++channels;
    }
    return channels ? sum / channels : 0;
}

} // namespace WindowTest

namespace WindowTest {

QuilmPrint::PrintModel::Environment IsolatedEnvironment::make() const {
    QuilmPrint::PrintModel::Environment environment;
    environment.settings =
        std::make_shared<QSettings>(QString::fromStdString(settingsFile.string()), QSettings::IniFormat);
    std::filesystem::create_directories(folder / "recipes");
    std::filesystem::create_directories(folder / "tmp");
    std::filesystem::create_directories(folder / "home");
    environment.recipes = PrintKit::RecipeStore{folder / "recipes"};
    environment.temporaryFolder = folder / "tmp";
    environment.home = folder / "home";
    environment.profileFolders = std::vector<std::filesystem::path>{};
    return environment;
}

} // namespace WindowTest
