#include "QuilmPrint/panels/LayoutText.h"

#include <cmath>

namespace QuilmPrint::LayoutText {

namespace {
bool near(double a, double b) {
    return std::abs(a - b) < 0.05;
}
const QString typedIn = QStringLiteral("직접 입력");
} // namespace

const std::vector<SizePreset>& sizePresets() {
    static const std::vector<SizePreset> presets{
        {QStringLiteral("10×15cm (4×6in)"), 101.6, 152.4},
        {QStringLiteral("13×18cm (5×7in)"), 127.0, 177.8},
        {QStringLiteral("A5"), 148.0, 210.0},
        {QStringLiteral("20×25cm (8×10in)"), 203.2, 254.0},
        {QStringLiteral("A4"), 210.0, 297.0},
        {QStringLiteral("28×36cm (11×14in)"), 279.4, 355.6},
    };
    return presets;
}

QString presetTitle(double widthMM, double heightMM, const std::vector<SizePreset>& presets) {
    for (const SizePreset& preset : presets)
        if (near(preset.widthMM, widthMM) && near(preset.heightMM, heightMM))
            return preset.name;
    return typedIn;
}

QString templateTitle(const GridSettings& grid, const std::vector<GridTemplate>& templates) {
    for (const GridTemplate& candidate : templates) {
        const GridSettings& s = candidate.settings;
        if (near(s.widthMM, grid.widthMM) && near(s.heightMM, grid.heightMM) && near(s.gapMM, grid.gapMM) &&
            s.fitsWhole == grid.fitsWhole && s.captions == grid.captions && s.repeatsOne == grid.repeatsOne)
            return candidate.name;
    }
    return typedIn;
}

QString modeDescription(LayoutMode mode) {
    switch (mode) {
    case LayoutMode::fit:
        return QStringLiteral("잘리는 곳 없이 인쇄 영역 안에 가장 크게 넣습니다.");
    case LayoutMode::fill:
        return QStringLiteral("인쇄 영역을 가득 채우고, 넘치는 부분은 가운데 기준으로 자릅니다.");
    case LayoutMode::exact:
        return QStringLiteral(
            "정한 크기로 인쇄합니다. 사진 방향에 맞춰 돌리고, 모양이 다르면 가운데 기준으로 자릅니다.");
    }
    return {};
}

QString canvasCaption(CanvasOrientation orientation) {
    return orientation == CanvasOrientation::automatic ? QStringLiteral("사진 방향에 맞춰 용지를 돌림.")
                                                       : QStringLiteral("용지를 이 방향으로 놓고 인쇄.");
}

std::optional<bool> gridOrientation(const GridSettings& grid) {
    if (grid.autoTurn)
        return std::nullopt;
    return grid.widthMM <= grid.heightMM;
}

QString gridSummary(const PrintKit::GridPlan& plan, bool repeatsOne, std::size_t photoCount,
                    std::size_t pageCount) {
    QString text = QString::number(plan.columns) + "×" + QString::number(plan.rows) + " = " +
                   QString::number(plan.count()) + QStringLiteral("칸");
    if (plan.turned)
        text += QStringLiteral(" · 칸을 돌려 더 많이 넣음");
    text += QStringLiteral(" · ");
    if (repeatsOne)
        text += QStringLiteral("선택한 사진으로 모든 칸");
    else if (photoCount > 0)
        text += QStringLiteral("사진 ") + QString::number(photoCount) + QStringLiteral("장 → ") +
                QString::number(pageCount) + QStringLiteral("장");
    else
        text += QStringLiteral("사진 없음");
    return text;
}

} // namespace QuilmPrint::LayoutText
