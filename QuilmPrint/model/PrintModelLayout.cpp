#include "PrintKit/render/layout/BorderlessBleed.h"
#include "PrintKit/render/layout/CanvasTurn.h"
#include "PrintKit/render/layout/GridLayout.h"
#include "PrintKit/render/layout/Layout.h"
#include "PrintKit/settings/EpsonInkjet2Adapter.h"
#include "PrintKit/support/FileIO.h"
#include "PrintKit/support/Folders.h"
#include "PrintKit/support/Numbers.h"
#include "PrintKit/support/Text.h"
#include "QuilmPrint/model/CustomPapers.h"
#include "QuilmPrint/model/ModelSettings.h"
#include "QuilmPrint/model/PrintModelState.h"

#include <algorithm>
#include <cmath>

namespace QuilmPrint {

namespace Adapter = PrintKit::EpsonInkjet2Adapter;

namespace {

constexpr double pointsPerMM = 72.0 / 25.4;
constexpr double smallestExactMM = 5.0;

// Exact sizes are never below 5 mm; anything that is not a finite number (a field's NaN, an infinity)
// becomes that smallest size rather than a sheet nobody can place.
double exactSide(double mm) {
    return std::isfinite(mm) ? std::max(mm, smallestExactMM) : smallestExactMM;
}

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

} // namespace

// ---- Layout ----

LayoutMode PrintModel::layoutMode() const {
    return d->layoutMode;
}

void PrintModel::setLayoutMode(LayoutMode mode) {
    d->layoutMode = mode;
    saveLayout();
}

CanvasOrientation PrintModel::canvasOrientation() const {
    return d->canvasOrientation;
}

void PrintModel::setCanvasOrientation(CanvasOrientation orientation) {
    d->canvasOrientation = orientation;
    d->settings().setValue(ModelSettings::layoutCanvas, ModelSettings::name(orientation));
    emit layoutChanged();
}

PhotosPerSheet PrintModel::photosPerSheet() const {
    return d->photosPerSheet;
}

void PrintModel::setPhotosPerSheet(PhotosPerSheet value) {
    d->photosPerSheet = value;
    d->settings().setValue(ModelSettings::layoutPerSheet, ModelSettings::name(value));
    emit layoutChanged();
    syncGridPage();
}

double PrintModel::marginMM() const {
    return d->marginMM;
}

void PrintModel::setMarginMM(double value) {
    d->marginMM = value;
    saveLayout();
}

double PrintModel::exactWidthMM() const {
    return d->exactWidthMM;
}

double PrintModel::exactHeightMM() const {
    return d->exactHeightMM;
}

bool PrintModel::exactTurnsToPhoto() const {
    return d->exactTurnsToPhoto;
}

void PrintModel::setExactSize(std::optional<double> widthMM, std::optional<double> heightMM) {
    if (widthMM) {
        d->exactWidthMM = exactSide(*widthMM);
    }
    if (heightMM) {
        d->exactHeightMM = exactSide(*heightMM);
    }
    d->exactTurnsToPhoto = false;
    saveLayout();
}

void PrintModel::setExactOrientation(bool portrait) {
    const double larger = std::max(d->exactWidthMM, d->exactHeightMM);
    const double smaller = std::min(d->exactWidthMM, d->exactHeightMM);
    d->exactWidthMM = portrait ? smaller : larger;
    d->exactHeightMM = portrait ? larger : smaller;
    d->exactTurnsToPhoto = false;
    saveLayout();
}

void PrintModel::setExactPreset(const SizePreset& preset) {
    d->exactWidthMM = preset.widthMM;
    d->exactHeightMM = preset.heightMM;
    d->exactTurnsToPhoto = true;
    saveLayout();
}

void PrintModel::saveLayout() {
    QSettings& settings = d->settings();
    settings.setValue(ModelSettings::layoutMode, ModelSettings::name(d->layoutMode));
    ModelSettings::writeNumber(settings, ModelSettings::exactWidthMM, d->exactWidthMM);
    ModelSettings::writeNumber(settings, ModelSettings::exactHeightMM, d->exactHeightMM);
    ModelSettings::writeNumber(settings, ModelSettings::marginMM, d->marginMM);
    settings.setValue(ModelSettings::exactTurnsToPhoto, d->exactTurnsToPhoto);
    emit layoutChanged();
}

void PrintModel::State::restoreLayout() {
    const QSettings& stored = settings();
    if (auto mode = ModelSettings::layoutModeNamed(stored.value(ModelSettings::layoutMode).toString())) {
        layoutMode = *mode;
    }
    if (auto canvas = ModelSettings::canvasNamed(stored.value(ModelSettings::layoutCanvas).toString())) {
        canvasOrientation = *canvas;
    }
    if (auto perSheet =
            ModelSettings::perSheetNamed(stored.value(ModelSettings::layoutPerSheet).toString())) {
        photosPerSheet = *perSheet;
    }
    if (auto width = ModelSettings::readNumber(stored, ModelSettings::exactWidthMM)) {
        exactWidthMM = exactSide(*width);
    }
    if (auto height = ModelSettings::readNumber(stored, ModelSettings::exactHeightMM)) {
        exactHeightMM = exactSide(*height);
    }
    if (auto margin = ModelSettings::readNumber(stored, ModelSettings::marginMM)) {
        marginMM = *margin;
    }
    if (auto turns = ModelSettings::readBool(stored, ModelSettings::exactTurnsToPhoto)) {
        exactTurnsToPhoto = *turns;
    }
    if (auto json = ModelSettings::readText(stored, ModelSettings::layoutGrid)) {
        if (auto restored = ModelSettings::gridFromJSON(*json)) {
            grid = *restored;
        }
    }
    emit self->layoutChanged();
}

int PrintModel::copies() const {
    return d->copies;
}

void PrintModel::setCopies(int copies) {
    d->copies = std::clamp(copies, 1, 99);
    emit layoutChanged();
}

// ---- Grid ----

const GridSettings& PrintModel::grid() const {
    return d->grid;
}

void PrintModel::State::saveGrid() {
    settings().setValue(ModelSettings::layoutGrid, text(ModelSettings::gridJSON(grid)));
}

void PrintModel::setGrid(const GridSettings& grid) {
    d->grid = grid;
    d->saveGrid();
    emit layoutChanged();
    syncGridPage();
}

void PrintModel::applyGridTemplate(const GridTemplate& gridTemplate) {
    GridSettings changed = gridTemplate.settings;
    changed.rotatesToFit = gridTemplate.settings.rotatesToFit && d->grid.rotatesToFit;
    changed.cutMarks = gridTemplate.settings.cutMarks && d->grid.cutMarks;
    setGrid(changed);
}

void PrintModel::setGridOrientation(std::optional<bool> portrait) {
    GridSettings changed = d->grid;
    if (!portrait) {
        changed.autoTurn = true;
    } else {
        const double larger = std::max(changed.widthMM, changed.heightMM);
        const double smaller = std::min(changed.widthMM, changed.heightMM);
        changed.autoTurn = false;
        changed.widthMM = *portrait ? smaller : larger;
        changed.heightMM = *portrait ? larger : smaller;
    }
    setGrid(changed);
}

std::vector<std::vector<PhotoItem>> PrintModel::gridPages(const std::vector<PhotoItem>& of) const {
    std::vector<std::vector<PhotoItem>> pages;
    if (of.empty()) {
        return pages;
    }
    std::size_t perPage = of.size();
    if (Outcome<PreparedSheet> sheet = tryPrepare(); sheet.ok()) {
        if (Outcome<PrintKit::GridPlan> plan = gridPlan(*sheet.value); plan.ok() && plan.value->count() > 0) {
            perPage = static_cast<std::size_t>(plan.value->count());
        }
    }
    for (std::size_t start = 0; start < of.size(); start += perPage) {
        const std::size_t end = std::min(of.size(), start + perPage);
        pages.emplace_back(of.begin() + static_cast<std::ptrdiff_t>(start),
                           of.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return pages;
}

std::vector<std::vector<PhotoItem>> PrintModel::gridPages() const {
    if (d->grid.repeatsOne) {
        const PhotoItem* selected = selectedPhoto();
        return selected ? gridPages(std::vector<PhotoItem>{*selected})
                        : std::vector<std::vector<PhotoItem>>{};
    }
    return gridPages(d->photos);
}

std::vector<GridCell> PrintModel::gridCells(const std::vector<PhotoItem>& page,
                                            const PrintKit::GridPlan& plan) const {
    auto cell = [&](const PhotoItem& photo) {
        return GridCell{photo, d->grid.captions ? std::optional<QString>(photo.name()) : std::nullopt};
    };
    std::vector<GridCell> cells;
    if (page.empty()) {
        return cells;
    }
    if (d->grid.repeatsOne) {
        cells.assign(plan.cells.size(), cell(page.front()));
        return cells;
    }
    const std::size_t filled = std::min(page.size(), plan.cells.size());
    for (std::size_t i = 0; i < filled; ++i) {
        cells.push_back(cell(page[i]));
    }
    return cells;
}

int PrintModel::gridPageIndex() const {
    return d->gridPageIndex;
}

void PrintModel::showGridPage(int index) {
    const auto pages = gridPages();
    if (index < 0 || index >= static_cast<int>(pages.size())) {
        return;
    }
    if (d->gridPageIndex != index) {
        d->gridPageIndex = index;
        emit layoutChanged();
    }
    if (!d->grid.repeatsOne && !pages[static_cast<std::size_t>(index)].empty()) {
        setSelectedPhotoID(pages[static_cast<std::size_t>(index)].front().id);
    }
}

void PrintModel::syncGridPage() {
    const auto pages = gridPages();
    int index = d->gridPageIndex;
    if (d->selectedPhotoID) {
        for (std::size_t page = 0; page < pages.size(); ++page) {
            for (const PhotoItem& photo : pages[page]) {
                if (photo.id == *d->selectedPhotoID) {
                    index = static_cast<int>(page);
                }
            }
        }
    }
    // Photos removed from the end must not leave the page shown past the last one.
    index = std::clamp(index, 0, std::max(static_cast<int>(pages.size()) - 1, 0));
    if (index != d->gridPageIndex) {
        d->gridPageIndex = index;
        emit layoutChanged();
    }
}

// ---- The sheet ----

PrintKit::ImageFit PrintModel::imageFit() const {
    switch (d->layoutMode) {
    case LayoutMode::fit:
        return PrintKit::ImageFit::fit();
    case LayoutMode::fill:
        return PrintKit::ImageFit::fill();
    case LayoutMode::exact:
        break;
    }
    return PrintKit::ImageFit::exactSize(d->exactWidthMM * pointsPerMM, d->exactHeightMM * pointsPerMM,
                                         d->exactTurnsToPhoto);
}

PrintKit::Margins PrintModel::margins() const {
    return PrintKit::Margins::all(d->marginMM * pointsPerMM);
}

PrintKit::GridSpec PrintModel::gridSpec() const {
    const GridSettings& g = d->grid;
    return PrintKit::GridSpec::make(g.widthMM * pointsPerMM, g.heightMM * pointsPerMM, g.gapMM * pointsPerMM,
                                    g.autoTurn, g.fitsWhole, g.rotatesToFit, g.cutMarks, g.captions);
}

PrintKit::Size PrintModel::offset(const PhotoItem& photo) const {
    return d->offsets.value(photo.id, PrintKit::Size{});
}

PreparedSheet PrintModel::prepare() const {
    if (d->isLoadingPrinters) {
        throw PrintModelError(PrintModelErrorCode::loadingPrinters);
    }
    const PrinterChoice* choice = selectedPrinter();
    if (!choice) {
        throw PrintModelError(PrintModelErrorCode::noPrinter);
    }
    if (!choice->ppd) {
        throw PrintModelError(PrintModelErrorCode::noPPD);
    }
    if (!d->recipe) {
        throw PrintModelError(PrintModelErrorCode::noRecipe);
    }
    const PrintKit::PPDFile& ppd = *choice->ppd;
    const PrintKit::PaperRecipe& recipe = *d->recipe;
    if (!Adapter::supports(ppd)) {
        throw PrintModelError(PrintModelErrorCode::notEpson);
    }
    if (recipe.color.app) {
        std::error_code error;
        const std::string& path = recipe.color.app->profile.path;
        if (path.empty() || !std::filesystem::is_regular_file(path, error)) {
            throw PrintModelError(PrintModelErrorCode::missingProfile, path);
        }
    }

    PreparedSheet sheet;
    sheet.page = Adapter::pageSize(recipe, ppd);
    sheet.options = Adapter::options(recipe, ppd);
    sheet.resolution = Adapter::resolution(sheet.options);
    sheet.options.push_back({"copies", PrintKit::Numbers::integer(d->copies)});
    if (!recipe.customSheet && sheet.page.name != recipe.sheet) {
        if (const PrintKit::PPDPageSize* paper = ppd.pageSize(recipe.sheet)) {
            sheet.paper = *paper;
        }
    }
    sheet.color = recipe.color.app
                      ? PrintKit::SheetColor::paper(recipe.color.app->profile.path, recipe.color.app->intent,
                                                    recipe.color.app->blackPointCompensation)
                      : PrintKit::SheetColor::sRGB();
    sheet.sharpening = recipe.sharpening.value_or(PrintKit::OutputSharpening::off);
    if (recipe.bleedCompensation.value_or(false) && sheet.paper) {
        // Only what is remembered counts here; a measurement is asked for after the change (checkBleed).
        sheet.bleed = PrintKit::BorderlessBleed::forSheet(sheet.page, *sheet.paper, [&]() {
            std::optional<double> expansion = d->bleedExpansion(choice->queue.name, sheet.page.name);
            sheet.bleedPending = !expansion.has_value();
            return expansion;
        });
    }
    return sheet;
}

Outcome<PreparedSheet> PrintModel::tryPrepare() const {
    try {
        return {prepare(), {}};
    } catch (const std::exception& error) {
        return {std::nullopt, QString::fromUtf8(error.what())};
    }
}

bool PrintModel::isTurned(const PhotoItem& photo, const PreparedSheet& sheet) const {
    if (d->photosPerSheet == PhotosPerSheet::many || d->layoutMode == LayoutMode::exact ||
        sheet.isTurnedCanvas) {
        return false;
    }
    const bool portraitPage = sheet.page.width < sheet.page.height;
    const bool landscapePage = sheet.page.width > sheet.page.height;
    switch (d->canvasOrientation) {
    case CanvasOrientation::automatic:
        return (photo.pixelWidth > photo.pixelHeight && portraitPage) ||
               (photo.pixelWidth < photo.pixelHeight && landscapePage);
    case CanvasOrientation::portrait:
        return landscapePage;
    case CanvasOrientation::landscape:
        return portraitPage;
    }
    return false;
}

Outcome<PrintKit::Placement> PrintModel::placement(const PhotoItem& photo, const PreparedSheet& sheet) const {
    // The same page the renderer places on: the bleed's placing page, turned for a turned canvas.
    PrintKit::PPDPageSize placing = sheet.bleed ? sheet.bleed->placingPage(sheet.page) : sheet.page;
    if (isTurned(photo, sheet)) {
        placing = PrintKit::CanvasTurn::canvas(placing);
    }
    try {
        return {PrintKit::Layout::place(photo.pixelWidth, photo.pixelHeight, placing, margins(), imageFit(),
                                        sheet.resolution, offset(photo)),
                {}};
    } catch (const std::exception& error) {
        return {std::nullopt, QString::fromUtf8(error.what())};
    }
}

Outcome<PrintKit::GridPlan> PrintModel::gridPlan(const PreparedSheet& sheet) const {
    const PrintKit::PPDPageSize placing = sheet.bleed ? sheet.bleed->placingPage(sheet.page) : sheet.page;
    try {
        return {PrintKit::GridLayout::plan(placing, margins(), gridSpec(), sheet.resolution), {}};
    } catch (const std::exception& error) {
        return {std::nullopt, QString::fromUtf8(error.what())};
    }
}

std::optional<double> PrintModel::gridPPI(const PhotoItem& photo, const PreparedSheet& sheet) const {
    Outcome<PrintKit::GridPlan> plan = gridPlan(sheet);
    if (!plan.ok() || plan.value->cells.empty() || photo.pixelWidth <= 0 || photo.pixelHeight <= 0) {
        return std::nullopt;
    }
    const PrintKit::CellFit fit =
        PrintKit::GridLayout::fit(photo.pixelWidth, photo.pixelHeight, plan.value->cells.front(), gridSpec(),
                                  plan.value->captionHeight);
    if (fit.frame.width <= 0) {
        return std::nullopt;
    }
    const double across =
        fit.crop.width() * static_cast<double>(fit.rotated ? photo.pixelHeight : photo.pixelWidth);
    const double inches = static_cast<double>(fit.frame.width) / plan.value->resolution;
    return across / inches;
}

PrintKit::CustomSheetSize PrintModel::currentPaperSize() const {
    Outcome<PreparedSheet> sheet = tryPrepare();
    if (!sheet.ok()) {
        return {432, 576};
    }
    const PrintKit::PPDPageSize& paper = sheet.value->paper ? *sheet.value->paper : sheet.value->page;
    return {paper.width, paper.height};
}

std::optional<std::vector<SavedCustomPaper>>& PrintModel::customPaperCache() {
    static std::optional<std::vector<SavedCustomPaper>> cache;
    return cache;
}

std::vector<SavedCustomPaper> PrintModel::loadCustomPapers(const std::filesystem::path& configFolder) {
    constexpr std::uint64_t largestList = 1 << 20; // the dialog writes a few hundred bytes per size
    std::vector<SavedCustomPaper> papers;
    try {
        papers = CustomPapers::parse(PrintKit::FileIO::readFile(
            CustomPapers::file(configFolder.empty() ? PrintKit::Folders::userConfig() : configFolder),
            largestList));
    } catch (const std::exception&) {
        return {}; // no list, or none that can be read: the menu offers the printer's sheets alone
    }
    std::stable_sort(papers.begin(), papers.end(), [](const SavedCustomPaper& a, const SavedCustomPaper& b) {
        return PrintKit::Text::compareNames(a.name.toStdString(), b.name.toStdString()) < 0;
    });
    return papers;
}

} // namespace QuilmPrint
