#include "QuilmPrint/panels/DriverText.h"

#include "QuilmPrint/panels/PaperText.h"

#include <algorithm>

namespace QuilmPrint::DriverText {

std::vector<OptionRow> optionRows(const std::vector<PrintKit::PrintOption>& options,
                                  const PrintKit::PPDFile& ppd) {
    std::vector<OptionRow> rows;
    rows.reserve(options.size());
    for (const PrintKit::PrintOption& option : options) {
        QString key = QString::fromStdString(option.key);
        QString value = QString::fromStdString(option.value);
        OptionRow row{key, value, key + "=" + value};
        if (const PrintKit::PPDOption* ppdOption = ppd.option(option.key)) {
            row.name = PaperText::label(*ppdOption);
            if (const PrintKit::PPDChoice* choice = ppdOption->choice(option.value))
                row.valueName = PaperText::label(*choice);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

RowShare shareRow(int available, int valueWidth, int pairWidth) {
    available = std::max(available, 0);
    valueWidth = std::max(valueWidth, 0);
    pairWidth = std::max(pairWidth, 0);
    if (valueWidth <= available - pairWidth)
        return {valueWidth, pairWidth};
    const int pairHalf = available / 2, valueHalf = available - pairHalf;
    if (valueWidth <= valueHalf)
        return {valueWidth, available - valueWidth};
    if (pairWidth <= pairHalf)
        return {available - pairWidth, pairWidth};
    return {valueHalf, pairHalf};
}

QString countLine(std::size_t count) {
    return QStringLiteral("인쇄할 때마다 설정 ") + QString::number(count) +
           QStringLiteral("개를 빠짐없이 그대로 보냅니다.");
}

} // namespace QuilmPrint::DriverText
