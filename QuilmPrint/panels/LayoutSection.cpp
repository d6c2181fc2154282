#include "QuilmPrint/panels/LayoutSection.h"

#include "QuilmPrint/panels/LayoutText.h"
#include "QuilmPrint/panels/NumberText.h"

#include <QVBoxLayout>

namespace QuilmPrint {

namespace {
constexpr LayoutMode modes[] = {LayoutMode::fit, LayoutMode::fill, LayoutMode::exact};
constexpr CanvasOrientation canvases[] = {CanvasOrientation::automatic, CanvasOrientation::portrait,
                                          CanvasOrientation::landscape};
const std::optional<bool> gridOrientations[] = {std::nullopt, true, false};

template <typename T, std::size_t N> int indexOf(const T (&values)[N], const T& value) {
    return static_cast<int>(std::find(std::begin(values), std::end(values), value) - std::begin(values));
}

QWidget* column(QWidget* parent) {
    auto* widget = new QWidget(parent);
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    return widget;
}

void add(QWidget* column, QWidget* row) {
    column->layout()->addWidget(row);
}

// A menu of a fixed list of named records, one item per record, in list order.
template <typename T, typename Choose> MenuChip* listMenu(const std::vector<T>& (*list)(), Choose choose) {
    return new MenuChip(
        [list] {
            MenuEntries entries;
            for (std::size_t index = 0; index < list().size(); ++index)
                entries.push_back(MenuEntry::item(list()[index].name, QString::number(index)));
            return entries;
        },
        [list, choose](const QString& id) {
            std::size_t index = id.toULongLong();
            if (index < list().size())
                choose(list()[index]);
        });
}
} // namespace

LayoutSection::LayoutSection(PrintModel* model, QWidget* parent)
    : InspectorSection(QStringLiteral("배치"), parent), model_(model) {
    perSheet_ = new ChipRow({QStringLiteral("한 컷"), QStringLiteral("여러 컷")}, this);
    perSheet_->setObjectName(QStringLiteral("perSheet"));
    QObject::connect(perSheet_, &ChipRow::chosen, model_, [this](int index) {
        model_->setPhotosPerSheet(index == 0 ? PhotosPerSheet::one : PhotosPerSheet::many);
    });
    rows()->addWidget(perSheet_);
    single_ = makeSingleRows();
    rows()->addWidget(single_);
    grid_ = makeGridRows();
    rows()->addWidget(grid_);

    margin_ = new NumberField([this] { return model_->marginMM(); },
                              [this](double mm) { model_->setMarginMM(mm); });
    margin_->setObjectName(QStringLiteral("margin"));
    rows()->addWidget(labeledRow(QStringLiteral("여백"), {margin_, unitLabel(QStringLiteral("mm"), true)}));
}

QWidget* LayoutSection::makeSingleRows() {
    QWidget* rows = column(this);
    mode_ = new ChipRow({QStringLiteral("맞춤"), QStringLiteral("채우기"), QStringLiteral("정확한 크기")});
    mode_->setObjectName(QStringLiteral("layoutMode"));
    QObject::connect(mode_, &ChipRow::chosen, model_,
                     [this](int index) { model_->setLayoutMode(modes[index]); });
    add(rows, mode_);
    modeDescription_ = helperLabel();
    modeDescription_->setObjectName(QStringLiteral("modeDescription"));
    add(rows, modeDescription_);

    canvas_ = new ChipRow({QStringLiteral("자동"), QStringLiteral("세로"), QStringLiteral("가로")});
    canvas_->setObjectName(QStringLiteral("canvasOrientation"));
    QObject::connect(canvas_, &ChipRow::chosen, model_,
                     [this](int index) { model_->setCanvasOrientation(canvases[index]); });
    canvasRow_ = labeledRow(QStringLiteral("방향"), {canvas_});
    add(rows, canvasRow_);
    canvasCaption_ = helperLabel();
    canvasCaption_->setObjectName(QStringLiteral("canvasCaption"));
    add(rows, canvasCaption_);

    exactRows_ = column(rows);
    preset_ = listMenu(&LayoutText::sizePresets,
                       [this](const SizePreset& preset) { model_->setExactPreset(preset); });
    preset_->setObjectName(QStringLiteral("preset"));
    add(exactRows_, labeledRow(QStringLiteral("크기"), {preset_}));
    exactOrientation_ = new ChipRow({QStringLiteral("세로"), QStringLiteral("가로")});
    exactOrientation_->setObjectName(QStringLiteral("exactOrientation"));
    QObject::connect(exactOrientation_, &ChipRow::chosen, model_,
                     [this](int index) { model_->setExactOrientation(index == 0); });
    add(exactRows_, labeledRow(QStringLiteral("방향"), {exactOrientation_}));
    exactWidth_ = new NumberField([this] { return model_->exactWidthMM(); },
                                  [this](double mm) { model_->setExactSize(mm, std::nullopt); },
                                  QStringLiteral("exact-w-"));
    exactWidth_->setObjectName(QStringLiteral("exactWidth"));
    exactHeight_ = new NumberField([this] { return model_->exactHeightMM(); },
                                   [this](double mm) { model_->setExactSize(std::nullopt, mm); },
                                   QStringLiteral("exact-h-"));
    exactHeight_->setObjectName(QStringLiteral("exactHeight"));
    add(exactRows_, labeledRow({}, {exactWidth_, unitLabel(QStringLiteral("×"), false), exactHeight_,
                                    unitLabel(QStringLiteral("mm"), true)}));
    add(exactRows_, helperLabel(QString::fromUtf8(LayoutText::exactCaption)));
    add(rows, exactRows_);
    return rows;
}

QWidget* LayoutSection::makeGridRows() {
    QWidget* rows = column(this);
    template_ = listMenu(&GridTemplate::all,
                         [this](const GridTemplate& chosen) { model_->applyGridTemplate(chosen); });
    template_->setObjectName(QStringLiteral("gridTemplate"));
    add(rows, labeledRow(QStringLiteral("틀"), {template_}));

    cellWidth_ = new NumberField(
        [this] { return model_->grid().widthMM; },
        [this](double mm) { changeGrid([mm](GridSettings& g) { g.widthMM = NumberText::atLeast(mm, 5); }); },
        QStringLiteral("grid-w-"));
    cellWidth_->setObjectName(QStringLiteral("cellWidth"));
    cellHeight_ = new NumberField(
        [this] { return model_->grid().heightMM; },
        [this](double mm) { changeGrid([mm](GridSettings& g) { g.heightMM = NumberText::atLeast(mm, 5); }); },
        QStringLiteral("grid-h-"));
    cellHeight_->setObjectName(QStringLiteral("cellHeight"));
    add(rows, labeledRow(QStringLiteral("칸"), {cellWidth_, unitLabel(QStringLiteral("×"), false),
                                                cellHeight_, unitLabel(QStringLiteral("mm"), true)}));

    gridOrientation_ = new ChipRow({QStringLiteral("자동"), QStringLiteral("세로"), QStringLiteral("가로")});
    gridOrientation_->setObjectName(QStringLiteral("gridOrientation"));
    QObject::connect(gridOrientation_, &ChipRow::chosen, model_,
                     [this](int index) { model_->setGridOrientation(gridOrientations[index]); });
    add(rows, labeledRow(QStringLiteral("방향"), {gridOrientation_}));

    gap_ = new NumberField(
        [this] { return model_->grid().gapMM; },
        [this](double mm) { changeGrid([mm](GridSettings& g) { g.gapMM = NumberText::atLeast(mm, 0); }); },
        QStringLiteral("grid-gap-"));
    gap_->setObjectName(QStringLiteral("gap"));
    add(rows, labeledRow(QStringLiteral("간격"), {gap_, unitLabel(QStringLiteral("mm"), true)}));

    repetition_ = new ChipRow({QStringLiteral("한 칸씩"), QStringLiteral("한 장 반복")});
    repetition_->setObjectName(QStringLiteral("repetition"));
    QObject::connect(repetition_, &ChipRow::chosen, this, [this](int index) {
        changeGrid([index](GridSettings& g) { g.repeatsOne = index == 1; });
    });
    add(rows, labeledRow(QStringLiteral("사진"), {repetition_}));

    cellFit_ = new ChipRow({QStringLiteral("꽉 채움"), QStringLiteral("전체 보이기")});
    cellFit_->setObjectName(QStringLiteral("cellFit"));
    QObject::connect(cellFit_, &ChipRow::chosen, this, [this](int index) {
        changeGrid([index](GridSettings& g) { g.fitsWhole = index == 1; });
    });
    add(rows, labeledRow(QStringLiteral("칸 안"), {cellFit_}));

    auto toggle = [this, rows](const QString& title, const QString& name, bool GridSettings::*field) {
        auto* row = new ToggleRow(title, rows);
        row->setObjectName(name);
        QObject::connect(row, &ToggleRow::toggled, this, [this, field](bool on) {
            changeGrid([field, on](GridSettings& g) { g.*field = on; });
        });
        add(rows, row);
        return row;
    };
    rotates_ = toggle(QStringLiteral("사진 방향에 맞춰 돌리기"), QStringLiteral("rotatesToFit"),
                      &GridSettings::rotatesToFit);
    cutMarks_ = toggle(QStringLiteral("재단선"), QStringLiteral("cutMarks"), &GridSettings::cutMarks);
    captions_ = toggle(QStringLiteral("파일 이름"), QStringLiteral("captions"), &GridSettings::captions);

    summary_ = helperLabel();
    summary_->setObjectName(QStringLiteral("gridSummary"));
    add(rows, summary_);
    return rows;
}

void LayoutSection::refresh(const Outcome<PreparedSheet>& prepared) {
    const bool many = model_->photosPerSheet() == PhotosPerSheet::many;
    perSheet_->setSelected(many ? 1 : 0);
    single_->setVisible(!many);
    grid_->setVisible(many);

    if (!many) {
        LayoutMode mode = model_->layoutMode();
        mode_->setSelected(indexOf(modes, mode));
        setLabelText(modeDescription_, LayoutText::modeDescription(mode));
        const bool exact = mode == LayoutMode::exact;
        canvasRow_->setVisible(!exact);
        canvasCaption_->setVisible(!exact);
        exactRows_->setVisible(exact);
        if (exact) {
            double width = model_->exactWidthMM(), height = model_->exactHeightMM();
            preset_->setTitle(LayoutText::presetTitle(width, height));
            exactOrientation_->setSelected(width <= height ? 0 : 1);
            exactWidth_->refresh();
            exactHeight_->refresh();
        } else {
            canvas_->setSelected(indexOf(canvases, model_->canvasOrientation()));
            setLabelText(canvasCaption_, LayoutText::canvasCaption(model_->canvasOrientation()));
        }
    } else {
        const GridSettings& grid = model_->grid();
        template_->setTitle(LayoutText::templateTitle(grid, GridTemplate::all()));
        cellWidth_->refresh();
        cellHeight_->refresh();
        gridOrientation_->setSelected(indexOf(gridOrientations, LayoutText::gridOrientation(grid)));
        gap_->refresh();
        repetition_->setSelected(grid.repeatsOne ? 1 : 0);
        cellFit_->setSelected(grid.fitsWhole ? 1 : 0);
        rotates_->setOn(grid.rotatesToFit);
        cutMarks_->setOn(grid.cutMarks);
        captions_->setOn(grid.captions);

        // The summary needs a prepared sheet; without one it is left out and the rows stay editable.
        summary_->setVisible(prepared.ok());
        if (prepared.ok()) {
            Outcome<PrintKit::GridPlan> plan = model_->gridPlan(*prepared.value);
            if (plan.ok()) {
                setLabelText(summary_,
                             LayoutText::gridSummary(*plan.value, grid.repeatsOne, model_->photos().size(),
                                                     model_->gridPages().size()));
                setLabelColour(summary_, Theme::inkTertiary());
            } else {
                setLabelText(summary_, plan.error);
                setLabelColour(summary_, Theme::warn());
            }
        }
    }
    margin_->refresh();
}

} // namespace QuilmPrint
