#include "QuilmPrint/model/SheetWork.h"

#include "PrintKit/render/layout/GridLayout.h"
#include "PrintKit/render/sheet/SheetRenderer.h"

namespace QuilmPrint {

void SheetWork::settleBleed(std::optional<double> expansion) {
    if (!sheet.bleedPending)
        return;
    sheet.bleedPending = false;
    sheet.bleed = PrintKit::BorderlessBleed::forSheet(sheet.page, sheet.paper.value_or(sheet.page),
                                                      [&] { return expansion; });
}

void SheetWork::render(const std::filesystem::path& to) const {
    if (const auto* photo = std::get_if<PhotoSheet>(&content)) {
        PrintKit::SheetRenderer::render(photo->image, sheet.page, photo->fit, photo->margins,
                                        sheet.resolution, photo->offset, sheet.color, sheet.sharpening,
                                        sheet.bleed, photo->turned, to);
        return;
    }
    const auto& grid = std::get<GridSheet>(content);
    // Cells are laid out on the part of a borderless page that lands on the paper, as the preview shows them.
    const PrintKit::PPDPageSize placing = sheet.bleed ? sheet.bleed->placingPage(sheet.page) : sheet.page;
    const PrintKit::GridPlan plan =
        PrintKit::GridLayout::plan(placing, grid.margins, grid.spec, sheet.resolution);
    PrintKit::SheetRenderer::renderGrid(grid.photos, plan, grid.spec, sheet.page, sheet.color,
                                        sheet.sharpening, sheet.bleed, to);
}

} // namespace QuilmPrint
