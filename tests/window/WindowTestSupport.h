// Helpers for the window tests: pictures of widgets, pixel reads at computed points, and where screenshots
// go.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>

class QWidget;

namespace WindowTest {

// The widget drawn at device pixel ratio 1, laid out and polished first.
QImage grab(QWidget* widget);
// Saves a screenshot as build/test-artifacts/NAME.png below the repository.
void saveArtifact(const QImage& image, const QString& name);
void saveArtifact(QWidget* widget, const QString& name);

// The largest difference of the three colour channels, 0…255.
int distance(const QColor& a, const QColor& b);
// How far `pixel` has moved from `background` towards `full`, 0…1, averaged over the channels that move.
double coverage(const QColor& pixel, const QColor& background, const QColor& full);

} // namespace WindowTest

#include "QuilmPrint/model/PrintModel.h"
#include "TestSupport.h"

namespace WindowTest {

// A model environment of its own: settings file, recipe folder, temporary folder and home in one temporary
// folder, so a test sees none of the user's choices and leaves none behind.
struct IsolatedEnvironment {
    TestSupport::TemporaryDirectory folder;
    std::filesystem::path settingsFile = folder / "settings.ini";

    QuilmPrint::PrintModel::Environment make() const;
};

} // namespace WindowTest
