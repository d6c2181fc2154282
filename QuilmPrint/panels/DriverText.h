// The driver options a job carries, as the inspector lists them: each option's and choice's Korean names
// from the PPD beside the raw pair that CUPS receives, in submission order.
#pragma once

#include "PrintKit/settings/PPDFile.h"
#include "PrintKit/settings/PrintOption.h"

#include <QString>
#include <cstddef>
#include <vector>

namespace QuilmPrint::DriverText {

struct OptionRow {
    QString name;      // the option's Korean label, else its keyword
    QString valueName; // the choice's Korean label, else the raw value
    QString pair;      // key=value

    friend bool operator==(const OptionRow&, const OptionRow&) = default;
};

std::vector<OptionRow> optionRows(const std::vector<PrintKit::PrintOption>& options,
                                  const PrintKit::PPDFile& ppd);

// How a row shares the width its name column leaves between the value's name and the raw pair. Both show in
// full when they fit; otherwise each may take half, and a text that needs less than its half leaves the rest
// to the other, so a long pair never squeezes a short value to "…" nor the reverse.
struct RowShare {
    int value = 0;
    int pair = 0;

    friend bool operator==(const RowShare&, const RowShare&) = default;
};
RowShare shareRow(int available, int valueWidth, int pairWidth);

// "인쇄할 때마다 설정 13개를 빠짐없이 그대로 보냅니다."
QString countLine(std::size_t count);
inline constexpr const char* unpreparedLine = "설정을 만들 수 없습니다.";
inline constexpr const char* listTitle = "작업마다 보내는 설정";

} // namespace QuilmPrint::DriverText
