// What the set-up sheet's tests share: the application's look, pictures of widgets with pixel reads, and the
// texts a widget shows.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>

class QWidget;

namespace SetupTest {

// The widget laid out, polished and drawn at device pixel ratio 1.
QImage grab(QWidget* widget);
// Saves the picture as build/test-artifacts/NAME.png below the repository.
void saveArtifact(const QImage& image, const QString& name);
// The largest difference of the three colour channels, 0…255.
int distance(const QColor& a, const QColor& b);
// Every text that the visible labels and buttons under `widget` show, in no particular order.
QStringList shownTexts(QWidget* widget);
bool shows(QWidget* widget, const QString& text);

} // namespace SetupTest
