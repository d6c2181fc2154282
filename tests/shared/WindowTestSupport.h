// What the tests of the windows and panels share: the application's look, pictures of widgets, pixel reads,
// readable Qt texts in failure messages, letting queued refreshes run, and where screenshots go.
#pragma once

#include "GermanLocale.h"
#include "QuilmPrint/shared/Theme.h"
#include "QuilmPrint/shared/Translations.h"

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QImage>
#include <QLayout>
#include <QLocale>
#include <QString>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <ostream>
#include <stdexcept>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace WindowTest {

// The tests see the windows as the application shows them: Fusion, the palette, the fonts and Qt's own
// words in Korean.
struct ApplicationLook : ::testing::Environment {
    void SetUp() override {
        QuilmPrint::Theme::apply(*qApp);
        QuilmPrint::Translations::installQtKorean(*qApp);
        // Numbers in fields follow the locale: the tests choose theirs rather than the machine's.
        QLocale::setDefault(QLocale::c());
    }
};
inline const auto* look = ::testing::AddGlobalTestEnvironment(new ApplicationLook);

// A German desktop for the length of a scope: the C library's locale and Qt's default one.
struct GermanDesktop {
    GermanLocale process;
    QLocale saved;
    GermanDesktop() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    ~GermanDesktop() { QLocale::setDefault(saved); }
};

// Runs what model changes queued for the views (they refresh once per turn of the event loop).
inline void settle() {
    for (int turn = 0; turn < 3; ++turn)
        QApplication::processEvents();
}

// The child of `root` named `name`, once queued refreshes have run; a test that asks for a missing one ends.
template <typename T = QWidget> T* child(const QWidget* root, const char* name) {
    settle();
    if (T* widget = root->findChild<T*>(name))
        return widget;
    throw std::runtime_error(std::string("no widget named ") + name);
}

// The widget laid out, polished and drawn at device pixel ratio 1.
inline QImage grab(QWidget* widget) {
    widget->ensurePolished();
    if (widget->layout())
        widget->layout()->activate();
    settle();
    QImage image = widget->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    image.setDevicePixelRatio(1);
    return image;
}

// Saves build/test-artifacts/NAME.png below the repository.
inline void saveArtifact(const QImage& image, const QString& name) {
    const QString folder = QStringLiteral(QUILM_SOURCE_DIR "/build/test-artifacts");
    QDir().mkpath(folder);
    image.save(folder + "/" + name + ".png");
}
inline void saveArtifact(QWidget* widget, const QString& name) {
    saveArtifact(grab(widget), name);
}

// The largest difference of the three channels, 0…255.
inline int distance(const QColor& a, const QColor& b) {
    return std::max(
        {std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

// How far `pixel` has moved from `background` towards `full`, 0…1, averaged over the channels that move.
inline double coverage(const QColor& pixel, const QColor& background, const QColor& full) {
    double sum = 0;
    int channels = 0;
    const int p[] = {pixel.red(), pixel.green(), pixel.blue()},
              b[] = {background.red(), background.green(), background.blue()},
              f[] = {full.red(), full.green(), full.blue()};
    for (int i = 0; i < 3; ++i)
        if (std::abs(f[i] - b[i]) >= 8) {
            sum += double(p[i] - b[i]) / double(f[i] - b[i]);
            ++channels;
        }
    return channels ? sum / channels : 0;
}
} // namespace WindowTest
