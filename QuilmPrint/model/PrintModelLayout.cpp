#include "QuilmPrint/model/PrintModelState.h"

namespace QuilmPrint {

LayoutMode PrintModel::layoutMode() const { return d->layoutMode; }
void PrintModel::setLayoutMode(LayoutMode) {}
CanvasOrientation PrintModel::canvasOrientation() const { return d->canvasOrientation; }
void PrintModel::setCanvasOrientation(CanvasOrientation) {}
PhotosPerSheet PrintModel::photosPerSheet() const { return d->photosPerSheet; }
void PrintModel::setPhotosPerSheet(PhotosPerSheet) {}
double PrintModel::marginMM() const { return d->marginMM; }
void PrintModel::setMarginMM(double) {}
double PrintModel::exactWidthMM() const { return d->exactWidthMM; }
double PrintModel::exactHeightMM() const { return d->exactHeightMM; }
bool PrintModel::exactTurnsToPhoto() const { return d->exactTurnsToPhoto; }
void PrintModel::setExactSize(std::optional<double>, std::optional<double>) {}
void PrintModel::setExactOrientation(bool) {}
void PrintModel::setExactPreset(const SizePreset&) {}
void PrintModel::saveLayout() {}
int PrintModel::copies() const { return d->copies; }
void PrintModel::setCopies(int) {}

const GridSettings& PrintModel::grid() const { return d->grid; }
void PrintModel::setGrid(const GridSettings&) {}
void PrintModel::applyGridTemplate(const GridTemplate&) {}
void PrintModel::setGridOrientation(std::optional<bool>) {}
std::vector<std::vector<PhotoItem>> PrintModel::gridPages() const { return {}; }
int PrintModel::gridPageIndex() const { return d->gridPageIndex; }
void PrintModel::showGridPage(int) {}
void PrintModel::syncGridPage() {}

PreparedSheet PrintModel::prepare() const { throw PrintModelError(PrintModelErrorCode::loadingPrinters); }
Outcome<PreparedSheet> PrintModel::tryPrepare() const {
    try {
        return {prepare(), {}};
    } catch (const PrintKit::Error& error) {
        return {std::nullopt, QString::fromStdString(error.what())};
    }
}
Outcome<PrintKit::Placement> PrintModel::placement(const PhotoItem&, const PreparedSheet&) const { return {}; }
Outcome<PrintKit::GridPlan> PrintModel::gridPlan(const PreparedSheet&) const { return {}; }
std::optional<double> PrintModel::gridPPI(const PhotoItem&, const PreparedSheet&) const { return {}; }
bool PrintModel::isTurned(const PhotoItem&, const PreparedSheet&) const { return false; }
PrintKit::CustomSheetSize PrintModel::currentPaperSize() const { return {432, 576}; }
std::optional<std::vector<SavedCustomPaper>>& PrintModel::customPaperCache() {
    static std::optional<std::vector<SavedCustomPaper>> cache;
    return cache;
}
std::vector<SavedCustomPaper> PrintModel::loadCustomPapers(const std::filesystem::path&) { return {}; }

} // namespace QuilmPrint
