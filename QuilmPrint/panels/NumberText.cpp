#include "QuilmPrint/panels/NumberText.h"

#include "PrintKit/support/Numbers.h"

#include <cmath>

namespace QuilmPrint::NumberText {

QString format(double value) {
    std::string text = PrintKit::Numbers::fixed(value, 1);
    if (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0)
        text.resize(text.size() - 2);
    if (text == "-0")
        text = "0";
    return QString::fromStdString(text);
}

std::optional<double> parse(const QString& text, const QLocale& locale) {
    QString trimmed = text.trimmed();
    if (auto value = PrintKit::Numbers::parseDouble(trimmed.toStdString()))
        return value;
    QLocale strict = locale;
    strict.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    double value = strict.toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double atLeast(double value, double minimum) {
    return std::isnan(value) ? minimum : std::max(value, minimum);
}

QString identity(const QString& prefix, double valueMM) {
    // 2^63 as a double: every smaller magnitude truncates into a signed 64-bit integer.
    constexpr double limit = 9223372036854775808.0;
    double tenths = std::trunc(valueMM * 10);
    if (std::isfinite(tenths) && tenths < limit && tenths >= -limit)
        return prefix + QString::number(static_cast<qint64>(tenths));
    return prefix + QStringLiteral("v") + QString::fromStdString(PrintKit::Numbers::shortest(valueMM));
}

} // namespace QuilmPrint::NumberText
