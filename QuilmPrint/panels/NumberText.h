// The rules of the inspector's compact number fields: how a value is shown, which typed text counts as a
// number, the bounds the setters apply, and the identity that tells a field to drop its typing and show
// the model's value again.
#pragma once

#include <QLocale>
#include <QString>
#include <optional>

namespace QuilmPrint::NumberText {

// At most one decimal: 210 shows "210", 101.64 shows "101.6". Never a group separator, never the locale's
// decimal comma, so the text reads back the same on every machine.
QString format(double value);

// The number typed into a field: a finite decimal number written with a dot, or one written the way `locale`
// writes numbers (a decimal comma in German, no group separators). Anything else, NaN and infinities
// included, gives none and leaves the stored value as it was.
std::optional<double> parse(const QString& text, const QLocale& locale = QLocale::system());

// max(value, minimum), a value that is not a number becoming the minimum.
double atLeast(double value, double minimum);

// `prefix` followed by the integer part of ten times `valueMM`, so the identity changes whenever the value's
// tenths do. Values whose tenths do not fit a 64-bit integer (and NaN) are named by their shortest text.
QString identity(const QString& prefix, double valueMM);

} // namespace QuilmPrint::NumberText
