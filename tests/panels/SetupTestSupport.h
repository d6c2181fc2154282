// What the set-up sheet's tests share besides the panels' helpers: the application's look, pixel comparison
// and the texts a widget shows.
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

class QWidget;

namespace SetupTest {

// The largest difference of the three colour channels, 0…255.
int distance(const QColor& a, const QColor& b);
// Every text that the visible labels and buttons under `widget` show, in no particular order.
QStringList shownTexts(QWidget* widget);
bool shows(QWidget* widget, const QString& text);

} // namespace SetupTest
