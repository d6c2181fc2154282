#include "QuilmPrint/window/PreviewText.h"

#include <cmath>

namespace QuilmPrint::PreviewText {

namespace {

constexpr double millimetresPerPoint = 25.4 / 72;

QString dimensions(double width, double height) {
    return millimetres(width) + QStringLiteral("×") + millimetres(height) + QStringLiteral("mm");
}

} // namespace

QString millimetres(double points) {
    return QString::number(points * millimetresPerPoint, 'f', 1);
}

const PrintKit::PPDPageSize& shownPaper(const PreparedSheet& sheet) {
    return sheet.paper ? *sheet.paper : sheet.page;
}

QString paper(const PreparedSheet& sheet) {
    const PrintKit::PPDPageSize& shown = shownPaper(sheet);
    const QString orientation = shown.width <= shown.height ? QStringLiteral("세로") : QStringLiteral("가로");
    return QStringLiteral("용지 ") + orientation + QLatin1Char(' ') + dimensions(shown.width, shown.height);
}

std::optional<QString> borderlessNote(const PreparedSheet& sheet) {
    if (!sheet.paper) {
        return std::nullopt;
    }
    if (sheet.bleed) {
        return QStringLiteral("여백 없음 · 가장자리 보정 · 사진은 종이 크기에 맞춤");
    }
    if (sheet.paper->width + 0.5 < sheet.page.width) {
        return QStringLiteral("여백 없음 · 가장자리 ") +
               millimetres((sheet.page.width - sheet.paper->width) * 0.5) +
               QStringLiteral("mm는 잘려 나갑니다");
    }
    return QStringLiteral("여백 없음 · 드라이버가 조금 키워서 인쇄합니다");
}

QString photoSize(const PrintKit::Placement& placement) {
    return QStringLiteral("사진 ") + dimensions(placement.rect.width(), placement.rect.height());
}

QString gridSize(const PrintKit::GridPlan& plan) {
    return QString::number(plan.columns) + QStringLiteral("×") + QString::number(plan.rows) +
           QStringLiteral(" = ") + QString::number(plan.count()) + QStringLiteral("칸");
}

std::optional<QString> cellSize(const PrintKit::GridPlan& plan) {
    if (plan.cells.empty()) {
        return std::nullopt;
    }
    const PrintKit::Rect cell = plan.pageRect(plan.cells.front());
    return QStringLiteral("칸 ") + dimensions(cell.width(), cell.height());
}

QString pager(int index, int count) {
    return QString::number(index + 1) + QLatin1Char('/') + QString::number(count) + QStringLiteral("장");
}

QString zoom(double step) {
    if (step == 1) {
        return QStringLiteral("맞춤");
    }
    return QString::number(static_cast<long long>(step)) + QStringLiteral("배");
}

QString resolution(double pixelsPerInch) {
    const long long whole =
        std::isfinite(pixelsPerInch) ? static_cast<long long>(std::trunc(pixelsPerInch)) : 0;
    return QString::number(whole) + QStringLiteral("ppi");
}

QString feedLabel(const PreparedSheet& sheet) {
    const PrintKit::PPDPageSize& shown = shownPaper(sheet);
    if (sheet.isTurnedCanvas) {
        return QStringLiteral("◀ 왼쪽이 먼저 들어가는 쪽 · 폭 ") + millimetres(shown.height) +
               QStringLiteral("mm");
    }
    return QStringLiteral("▲ 먼저 들어가는 쪽 · 폭 ") + millimetres(shown.width) + QStringLiteral("mm");
}

QString photoCount(int count) {
    return QString::number(count) + QStringLiteral("장");
}

PhotoDetail photoDetail(int pixelWidth, int pixelHeight, std::optional<double> pixelsPerInch) {
    PhotoDetail detail{QString::number(pixelWidth) + QStringLiteral("×") + QString::number(pixelHeight)};
    // A plan or placement of no size could give an infinite or undefined figure: the pixel size alone is
    // then all that can honestly be said.
    if (!pixelsPerInch || !std::isfinite(*pixelsPerInch)) {
        return detail;
    }
    detail.text +=
        QStringLiteral(" · ") + QString::number(std::llround(*pixelsPerInch)) + QStringLiteral("ppi");
    detail.lowResolution = *pixelsPerInch < lowResolution;
    return detail;
}

std::optional<double> placementPPI(const PrintKit::Placement& placement, int pixelWidth) {
    if (!(placement.rect.width() > 0)) {
        return std::nullopt;
    }
    return placement.crop.width() * pixelWidth / (placement.rect.width() / 72);
}

} // namespace QuilmPrint::PreviewText
