#include "SetupTestSupport.h"

#include "QuilmPrint/panels/SetupRow.h"
#include "QuilmPrint/shared/Controls.h"
#include "QuilmPrint/shared/Theme.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

// The sheet is seen as the application shows it: Fusion, the palette and the fonts.
struct ApplicationLook : ::testing::Environment {
    void SetUp() override { QuilmPrint::Theme::apply(*qApp); }
};
[[maybe_unused]] const auto* look = ::testing::AddGlobalTestEnvironment(new ApplicationLook);

} // namespace

namespace SetupTest {

int distance(const QColor& a, const QColor& b) {
    return std::max(
        {std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

QStringList shownTexts(QWidget* widget) {
    QStringList texts;
    for (QLabel* label : widget->findChildren<QLabel*>())
        if (label->isVisibleTo(widget))
            texts << label->text();
    for (QAbstractButton* button : widget->findChildren<QAbstractButton*>())
        if (button->isVisibleTo(widget))
            texts << button->text();
    for (QuilmPrint::ElidedLabel* label : widget->findChildren<QuilmPrint::ElidedLabel*>())
        if (label->isVisibleTo(widget))
            texts << label->text();
    for (QuilmPrint::StatusLines* lines : widget->findChildren<QuilmPrint::StatusLines*>())
        if (lines->isVisibleTo(widget))
            texts << lines->text();
    return texts;
}

bool shows(QWidget* widget, const QString& text) {
    return shownTexts(widget).contains(text);
}

} // namespace SetupTest
