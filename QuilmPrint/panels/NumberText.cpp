#include "QuilmPrint/panels/NumberText.h"

#include "PrintKit/support/Numbers.h"

#include <cmath>

namespace QuilmPrint::NumberText {

namespace {

// The digit `digit` (0…9) in the locale's script.
QString localDigit(const QLocale& locale, int digit) {
    const QString zero = locale.zeroDigit();
    if (zero.size() == 1)
        return QString(QChar(zero.front().unicode() + digit));
    const char32_t base = zero.toUcs4().value(0, U'0');
    const char32_t code = base + static_cast<char32_t>(digit);
    return QString::fromUcs4(&code, 1);
}

bool isGrouping(const std::string& ascii, std::size_t mark) {
    // "[sign]d.ddd", "[sign]dd.ddd", "[sign]ddd.ddd" with no leading zero: a grouped thousand.
    std::size_t start = !ascii.empty() && (ascii[0] == '-' || ascii[0] == '+') ? 1 : 0;
    const std::size_t before = mark - start, after = ascii.size() - mark - 1;
    auto digits = [&](std::size_t from, std::size_t count) {
        for (std::size_t i = from; i < from + count; ++i)
            if (ascii[i] < '0' || ascii[i] > '9')
                return false;
        return true;
    };
    return before >= 1 && before <= 3 && ascii[start] != '0' && after == 3 && digits(start, before) &&
           digits(mark + 1, 3);
}

} // namespace

QString format(double value, const QLocale& locale) {
    // Rounded without the locale, so every locale shows the same digits; then spelt the locale's way.
    std::string text = PrintKit::Numbers::fixed(value, 1);
    if (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0)
        text.resize(text.size() - 2);
    if (text == "-0")
        text = "0";
    QString shown;
    for (char c : text) {
        if (c >= '0' && c <= '9')
            shown += localDigit(locale, c - '0');
        else if (c == '.')
            shown += locale.decimalPoint();
        else if (c == '-')
            shown += locale.negativeSign();
        else
            shown += QChar::fromLatin1(c);
    }
    return shown;
}

std::optional<double> parse(const QString& text, const QLocale& locale) {
    const QString decimal = locale.decimalPoint(), group = locale.groupSeparator(),
                  minus = locale.negativeSign(), plus = locale.positiveSign(),
                  exponent = locale.exponential().toLower();
    // The typed text in plain ASCII, for the locale-free reader.
    std::string ascii;
    std::size_t marks = 0, mark = 0;
    bool markIsGroup = false;
    for (char32_t code : text.trimmed().toUcs4()) {
        const QString character = QString::fromUcs4(&code, 1);
        if (QChar::category(code) == QChar::Other_Format) {
            continue; // direction marks, which some locales put before the minus sign
        } else if (QChar::category(code) == QChar::Number_DecimalDigit) {
            ascii += static_cast<char>('0' + QChar::digitValue(code));
        } else if (code == U'.' || code == U',' || character == decimal) {
            ++marks;
            mark = ascii.size();
            markIsGroup = character == group && character != decimal;
            ascii += '.';
        } else if (code == U'-' || code == U'\u2212' || character == minus) {
            ascii += '-';
        } else if (code == U'+' || character == plus) {
            ascii += '+';
        } else if (code == U'e' || code == U'E' || character.toLower() == exponent) {
            ascii += 'e';
        } else {
            return std::nullopt;
        }
    }
    if (marks > 1 || (marks == 1 && markIsGroup && isGrouping(ascii, mark)))
        return std::nullopt;
    return PrintKit::Numbers::parseDouble(ascii);
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
