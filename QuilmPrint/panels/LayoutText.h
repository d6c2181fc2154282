// What the inspector's layout section shows: the exact-size presets and the titles of the preset and template
// menus (which match within half a tenth of a millimetre), the captions of the one-photo rows, and the
// one-line summary of a grid.
#pragma once

#include "PrintKit/render/layout/GridPlan.h"
#include "QuilmPrint/model/ModelRecords.h"

#include <QString>
#include <cstddef>
#include <optional>
#include <vector>

namespace QuilmPrint::LayoutText {

// The six exact print sizes offered, all portrait.
const std::vector<SizePreset>& sizePresets();

// The first preset of that exact width and height (within 0.05 mm each), else "직접 입력".
QString presetTitle(double widthMM, double heightMM, const std::vector<SizePreset>& presets = sizePresets());

// The first template the grid matches (sizes and gap within 0.05 mm; fit, captions and repetition equal),
// else "직접 입력". Turning and cut marks are not compared.
QString templateTitle(const GridSettings& grid, const std::vector<GridTemplate>& templates);

QString modeDescription(LayoutMode mode);
QString canvasCaption(CanvasOrientation orientation);
inline constexpr const char* exactCaption = "고른 방향 그대로 인쇄. 사진 모서리를 끌어도 크기가 바뀜.";

// The selected grid orientation chip: none (automatic) while the grid turns itself, else portrait when the
// cell is no wider than high.
std::optional<bool> gridOrientation(const GridSettings& grid);

// "3×4 = 12칸 · 사진 5장 → 1장" and its variants.
QString gridSummary(const PrintKit::GridPlan& plan, bool repeatsOne, std::size_t photoCount,
                    std::size_t pageCount);

} // namespace QuilmPrint::LayoutText
