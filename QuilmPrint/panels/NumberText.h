// The rules of the inspector's compact number fields: how a value is shown, which typed text counts as a
// number, the bounds the setters apply, and the identity that tells a field to drop its typing and show
// the model's value again.
#pragma once

#include <QLocale>
#include <QString>
#include <optional>

namespace QuilmPrint::NumberText {

// At most one decimal, written as the user's locale writes numbers (QLocale(): the system's unless a test
// chose another): 210 shows "210"; 101.64 shows "101.6", or "101,6" in German. Never a group separator, so
// the text reads back as the same number when it is edited.
QString format(double value, const QLocale& locale = QLocale());

// The number typed into a field. Either decimal mark counts, whatever the locale ("12,5" and "12.5" are both
// 12.5), and the locale's own digits and signs are read too. No value (the stored one stays as it was) for
// anything else: NaN, infinities, group separators ("1.500,5"), spaces, units, and a number that the locale
// would read as grouped thousands ("1,500" in English, "1.500" in German), which one cannot tell from a
// decimal.
std::optional<double> parse(const QString& text, const QLocale& locale = QLocale());

// max(value, minimum), a value that is not a number becoming the minimum.
double atLeast(double value, double minimum);

// `prefix` followed by the integer part of ten times `valueMM`, so the identity changes whenever the value's
// tenths do. Values whose tenths do not fit a 64-bit integer (and NaN) are named by their shortest text.
QString identity(const QString& prefix, double valueMM);

} // namespace QuilmPrint::NumberText
