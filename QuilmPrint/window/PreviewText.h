// The words and numbers of the sheet preview's captions and the photo list's detail lines, as plain functions
// of the records they describe, so that every text the user reads can be checked without a window. Lengths
// are shown in millimetres with one decimal; numbers never follow the process locale.
#pragma once

#include "PrintKit/render/layout/GridPlan.h"
#include "PrintKit/render/layout/Placement.h"
#include "QuilmPrint/model/ModelRecords.h"

#include <QString>
#include <optional>

namespace QuilmPrint::PreviewText {

// Prints below this many pixels per inch are flagged as likely to look soft.
inline constexpr double lowResolution = 200;

// Points as millimetres with one decimal ("210.0").
QString millimetres(double points);

// The paper as it lies in the printer: the borderless sheet's own paper when it has one, else the page.
const PrintKit::PPDPageSize& shownPaper(const PreparedSheet& sheet);

// "용지 세로 210.0×297.0mm"; a square paper counts as 세로.
QString paper(const PreparedSheet& sheet);
// What a borderless sheet does to the photo's edges; none for a sheet with no paper of its own.
std::optional<QString> borderlessNote(const PreparedSheet& sheet);
// "사진 127.0×177.8mm"
QString photoSize(const PrintKit::Placement& placement);
// "3×4 = 12칸"
QString gridSize(const PrintKit::GridPlan& plan);
// "칸 101.6×152.4mm" for the first cell; none for a plan without cells.
std::optional<QString> cellSize(const PrintKit::GridPlan& plan);
// "2/5장": the page shown counts from one.
QString pager(int index, int count);
// "맞춤" for 1, else "2배", "4배".
QString zoom(double step);
// The whole part of the resolution: "720ppi".
QString resolution(double pixelsPerInch);
// "▲ 먼저 들어가는 쪽 · 폭 210.0mm", or the turned canvas's left-edge wording.
QString feedLabel(const PreparedSheet& sheet);

// The photo list's count: "3장".
QString photoCount(int count);

struct PhotoDetail {
    QString text;
    bool lowResolution = false;
    friend bool operator==(const PhotoDetail&, const PhotoDetail&) = default;
};
// "6000×4000", and " · 600ppi" when the print resolution is known and finite.
PhotoDetail photoDetail(int pixelWidth, int pixelHeight, std::optional<double> pixelsPerInch);
// The print resolution of a photo placed alone on a sheet: the photo pixels across the used part over the
// placed width in inches. None for a placement of no width.
std::optional<double> placementPPI(const PrintKit::Placement& placement, int pixelWidth);

} // namespace QuilmPrint::PreviewText
