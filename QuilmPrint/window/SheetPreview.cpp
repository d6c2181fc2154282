#include "QuilmPrint/window/SheetPreview.h"

#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/shared/CoalescedRefresh.h"
#include "QuilmPrint/shared/Controls.h"
#include "QuilmPrint/shared/Theme.h"
#include "QuilmPrint/window/PreviewText.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineF>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

namespace QuilmPrint {

namespace {

constexpr double areaPadding = 20;
constexpr int captionHeight = 34;
constexpr int captionSpacing = 6;
constexpr int chipHeight = 22;
constexpr double detailFactor = 2.0; // preview pixels per drawn point: a display of two pixels per point

} // namespace

// ---- The caption's text part ----

// The caption's words on one line: pieces side by side with the caption's spacing, the line cut short with an
// ellipsis where the pane is too narrow.
class CaptionLine : public QWidget {
public:
    explicit CaptionLine(QWidget* parent) : QWidget(parent) {
        setFont(Theme::font(11));
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }

    void setRuns(std::vector<std::pair<QString, QColor>> runs) {
        if (runs == runs_) {
            return;
        }
        runs_ = std::move(runs);
        updateGeometry();
        update();
    }
    const std::vector<std::pair<QString, QColor>>& runs() const { return runs_; }

    QString text() const {
        QStringList parts;
        for (const auto& run : runs_) {
            parts << run.first;
        }
        return parts.join(QLatin1Char(' '));
    }

    QSize sizeHint() const override {
        const QFontMetricsF metrics(font());
        double width = 0;
        for (const auto& run : runs_) {
            width += metrics.horizontalAdvance(run.first) + captionSpacing;
        }
        return QSize(static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(metrics.height())));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QFontMetricsF metrics(font());
        double x = 0;
        for (const auto& [text, colour] : runs_) {
            const double left = width() - x;
            if (left <= 0) {
                break;
            }
            const double advance = metrics.horizontalAdvance(text);
            const QString shown = advance <= left ? text : metrics.elidedText(text, Qt::ElideRight, left);
            painter.setPen(colour);
            painter.drawText(QRectF(x, 0, left, height()),
                             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
            if (advance > left) {
                break;
            }
            x += advance + captionSpacing;
        }
    }

private:
    std::vector<std::pair<QString, QColor>> runs_;
};

// ---- The canvas ----

// Paints whichever picture the preview settled, and hands the pointer to the preview.
class PreviewCanvas : public QWidget {
public:
    using Input = std::variant<std::monostate, SheetCanvas::Input, GridCanvas::Input>;

    PreviewCanvas(SheetPreview* preview, QWidget* parent) : QWidget(parent), preview_(preview) {}

    void setInput(Input input) {
        input_ = std::move(input);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        // The part of the canvas that the scroll area's viewport shows, its scroll bars left out.
        const QWidget* viewport = parentWidget();
        const QRectF inView =
            viewport ? QRectF(QRect(mapFrom(viewport, QPoint(0, 0)), viewport->size()).intersected(rect()))
                     : QRectF();
        std::visit(
            [&](auto& input) {
                using T = std::decay_t<decltype(input)>;
                if constexpr (!std::is_same_v<T, std::monostate>) {
                    input.inView = inView;
                }
            },
            input_);
        std::visit(
            [&](const auto& input) {
                using T = std::decay_t<decltype(input)>;
                if constexpr (std::is_same_v<T, SheetCanvas::Input>) {
                    SheetCanvas::paint(painter, input);
                } else if constexpr (std::is_same_v<T, GridCanvas::Input>) {
                    GridCanvas::paint(painter, input);
                }
            },
            input_);
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) {
            preview_->pressed(event->position());
        }
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (event->buttons() & Qt::LeftButton) {
            preview_->moved(event->position());
        }
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) {
            preview_->released(event->position());
        }
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) {
            preview_->doubleClicked();
        }
    }

private:
    SheetPreview* preview_;
    Input input_;
};

// ---- The pane ----

SheetPreview::SheetPreview(PrintModel* model, QWidget* parent)
    : QWidget(parent), model_(model), refreshLater_(this, [this] { refresh(); }) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    message_ = new QWidget(this);
    auto* messageColumn = new QVBoxLayout(message_);
    messageColumn->setContentsMargins(24, 24, 24, 24);
    messageColumn->setSpacing(9);
    messageColumn->addStretch(1);
    auto* symbol = new SymbolView(Symbol::document, 26, Theme::inkQuaternary(), message_);
    symbol->setWeight(1.15);
    messageColumn->addWidget(symbol, 0, Qt::AlignHCenter);
    auto* title = new QLabel(QStringLiteral("미리 볼 수 없습니다"), message_);
    title->setFont(Theme::font(13));
    setTextColour(title, Theme::inkSecondary());
    messageColumn->addWidget(title, 0, Qt::AlignHCenter);
    messageReason_ = new QLabel(message_);
    messageReason_->setFont(Theme::font(11));
    messageReason_->setAlignment(Qt::AlignHCenter);
    messageReason_->setWordWrap(true);
    setTextColour(messageReason_, Theme::inkTertiary());
    messageColumn->addWidget(messageReason_);
    messageColumn->addStretch(1);
    column->addWidget(message_, 1);

    area_ = new QWidget(this);
    auto* areaLayout = new QVBoxLayout(area_);
    areaLayout->setContentsMargins(areaPadding, areaPadding, areaPadding, areaPadding);
    scroll_ = new QScrollArea(area_);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(false);
    scroll_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    canvas_ = new PreviewCanvas(this, scroll_);
    scroll_->setWidget(canvas_);
    // The pane's own shade shows round the sheet: neither the scroll area nor the canvas paints a ground.
    scroll_->viewport()->setAutoFillBackground(false);
    canvas_->setAutoFillBackground(false);
    // The feed label follows the part of the sheet in view. A scroll moves the canvas, which paints no ground
    // of its own, so Qt draws all of it again rather than shifting its pixels.
    areaLayout->addWidget(scroll_);
    area_->installEventFilter(this);
    column->addWidget(area_, 1);

    hairline_ = new Hairline(false, this);
    column->addWidget(hairline_);

    captionBar_ = new QWidget(this);
    captionBar_->setFixedHeight(captionHeight);
    auto* row = new QHBoxLayout(captionBar_);
    row->setContentsMargins(areaPadding, 0, areaPadding, 0);
    row->setSpacing(captionSpacing);
    caption_ = new CaptionLine(captionBar_);
    row->addWidget(caption_, 1);
    row->addSpacing(8); // the least room between the words and the chips

    const ChipStyle plain{false, Theme::inkSecondary(), chipHeight};
    center_ = new ChipButton(QStringLiteral("가운데로"), plain, captionBar_);
    center_->setToolTip(QStringLiteral("끌어 옮긴 위치를 되돌립니다"));
    row->addWidget(center_);
    QObject::connect(center_, &QPushButton::clicked, this, [this] {
        if (const PhotoItem* photo = model_->selectedPhoto()) {
            model_->centerPhoto(*photo);
        }
    });

    previous_ = new ChipButton(QString(), plain, captionBar_);
    previous_->setSymbol(Symbol::chevronLeft);
    pager_ = new QLabel(captionBar_);
    pager_->setFont(Theme::monospacedFont(11));
    setTextColour(pager_, Theme::inkSecondary());
    next_ = new ChipButton(QString(), plain, captionBar_);
    next_->setSymbol(Symbol::chevronRight);
    row->addWidget(previous_);
    row->addWidget(pager_);
    row->addWidget(next_);
    QObject::connect(previous_, &QPushButton::clicked, this,
                     [this] { model_->showGridPage(model_->gridPageIndex() - 1); });
    QObject::connect(next_, &QPushButton::clicked, this,
                     [this] { model_->showGridPage(model_->gridPageIndex() + 1); });

    for (std::size_t i = 0; i < zoomSteps.size(); ++i) {
        const double step = zoomSteps[i];
        zoomChips_[i] = new ChipButton(PreviewText::zoom(step), plain, captionBar_);
        row->addWidget(zoomChips_[i]);
        QObject::connect(zoomChips_[i], &QPushButton::clicked, this, [this, step] { setZoom(step); });
    }
    resolution_ = new QLabel(captionBar_);
    resolution_->setFont(Theme::monospacedFont(11));
    setTextColour(resolution_, Theme::inkTertiary());
    row->addWidget(resolution_);
    column->addWidget(captionBar_);

    tapTimer_ = new QTimer(this);
    tapTimer_->setSingleShot(true);
    QObject::connect(tapTimer_, &QTimer::timeout, this, [this] { tapped(tapAt_); });

    for (auto signal : {&PrintModel::printersChanged, &PrintModel::recipeChanged, &PrintModel::photosChanged,
                        &PrintModel::layoutChanged, &PrintModel::previewChanged}) {
        QObject::connect(model_, signal, this, [this] { refreshLater_.schedule(); });
    }
    updateZoomChips();
    refreshLater_.now();
}

void SheetPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Theme::sunken());
}

bool SheetPreview::eventFilter(QObject* watched, QEvent* event) {
    // The viewport follows the padded area, never the scroll area's own viewport: scroll bars coming and
    // going would change that and make the canvas size swing back and forth.
    if (watched == area_ && event->type() == QEvent::Resize) {
        refreshLater_.schedule();
    }
    return QWidget::eventFilter(watched, event);
}

void SheetPreview::setZoom(double zoom) {
    if (zoom == zoom_) {
        return;
    }
    zoom_ = zoom;
    updateZoomChips();
    refreshLater_.now();
}

void SheetPreview::updateZoomChips() {
    for (std::size_t i = 0; i < zoomSteps.size(); ++i) {
        const bool on = zoom_ == zoomSteps[i];
        zoomChips_[i]->setChipStyle(ChipStyle{on, on ? Theme::ink() : Theme::inkSecondary(), chipHeight});
    }
}

bool SheetPreview::showsMessage() const {
    return !message_->isHidden();
}
QString SheetPreview::messageText() const {
    return messageReason_->text();
}
QWidget* SheetPreview::canvas() const {
    return canvas_;
}
QString SheetPreview::captionText() const {
    return caption_->text();
}
std::vector<std::pair<QString, QColor>> SheetPreview::captionRuns() const {
    return caption_->runs();
}
QString SheetPreview::resolutionText() const {
    return resolution_->text();
}
QString SheetPreview::pagerText() const {
    return pager_->isHidden() ? QString() : pager_->text();
}

void SheetPreview::refresh() {
    const Outcome<PreparedSheet> prepared = model_->tryPrepare();
    if (!prepared.ok()) {
        showMessage(prepared.error);
        return;
    }
    message_->hide();
    area_->show();
    hairline_->show();
    captionBar_->show();
    if (model_->photosPerSheet() == PhotosPerSheet::many) {
        showGrid(*prepared.value);
    } else {
        showSheet(*prepared.value);
    }
    resolution_->setText(PreviewText::resolution(prepared.value->resolution));
    requestDetail();
}

void SheetPreview::showMessage(const QString& text) {
    messageReason_->setText(text);
    message_->show();
    area_->hide();
    hairline_->hide();
    captionBar_->hide();
    shown_ = std::monostate{};
    canvas_->setInput(std::monostate{});
    requestedPixels_.reset(); // the next sheet shown is a first appearance
    drag_.reset();
    dragging_ = false;
}

void SheetPreview::layOutCanvas(const PrintKit::PPDPageSize& page) {
    const QSizeF viewport(std::max(0, area_->width()) - 2 * areaPadding,
                          std::max(0, area_->height()) - 2 * areaPadding);
    geometry_ = SheetGeometry(page, viewport, zoom_);
    const Qt::ScrollBarPolicy policy = zoom_ > 1 ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
    scroll_->setHorizontalScrollBarPolicy(policy);
    scroll_->setVerticalScrollBarPolicy(policy);
    if (geometry_.isDrawable()) {
        canvas_->setFixedSize(static_cast<int>(std::ceil(geometry_.canvas.width())),
                              static_cast<int>(std::ceil(geometry_.canvas.height())));
    }
}

void SheetPreview::showSheet(const PreparedSheet& prepared) {
    const PhotoItem* photo = model_->selectedPhoto();
    Single single;
    single.sheet = prepared;
    std::vector<std::pair<QString, QColor>> runs;
    std::optional<Outcome<PrintKit::Placement>> placed;
    if (photo) {
        single.photo = photo->id;
        placed = model_->placement(*photo, prepared);
        if (model_->isTurned(*photo, prepared)) {
            single.sheet = prepared.turned();
        }
        if (placed->ok()) {
            single.placement = placed->value;
        }
    }
    const PreparedSheet& sheet = single.sheet;
    layOutCanvas(sheet.page);

    runs.emplace_back(PreviewText::paper(sheet), Theme::inkSecondary());
    if (std::optional<QString> note = PreviewText::borderlessNote(sheet)) {
        runs.emplace_back(QStringLiteral("·"), Theme::inkQuaternary());
        runs.emplace_back(*note, Theme::inkSecondary());
    }
    if (placed) {
        runs.emplace_back(QStringLiteral("·"), Theme::inkQuaternary());
        if (placed->ok()) {
            runs.emplace_back(PreviewText::photoSize(*placed->value), Theme::inkSecondary());
        } else {
            runs.emplace_back(placed->error, Theme::warn());
        }
    }
    caption_->setRuns(std::move(runs));

    bool offCentre = false;
    if (photo) {
        const auto offset = model_->offsets().constFind(photo->id);
        offCentre = offset != model_->offsets().constEnd() && (offset->width != 0 || offset->height != 0);
    }
    center_->setVisible(offCentre);
    previous_->hide();
    pager_->hide();
    next_->hide();

    SheetCanvas::Input input;
    input.sheet = sheet;
    if (photo) {
        input.image = model_->previewImage().isNull() ? photo->thumbnail : model_->previewImage();
    }
    input.placement = single.placement;
    input.geometry = geometry_;
    input.dragging = dragging_;
    input.showsHandles = model_->layoutMode() == LayoutMode::exact;
    canvas_->setInput(std::move(input));
    shown_ = std::move(single);
}

void SheetPreview::showGrid(const PreparedSheet& sheet) {
    const Outcome<PrintKit::GridPlan> plan = model_->gridPlan(sheet);
    const std::vector<std::vector<PhotoItem>> pages = model_->gridPages();
    const int index = model_->gridPageIndex();
    const int count = static_cast<int>(pages.size());
    layOutCanvas(sheet.page);

    std::vector<std::pair<QString, QColor>> runs;
    runs.emplace_back(PreviewText::paper(sheet), Theme::inkSecondary());
    runs.emplace_back(QStringLiteral("·"), Theme::inkQuaternary());
    if (plan.ok()) {
        runs.emplace_back(PreviewText::gridSize(*plan.value), Theme::inkSecondary());
        if (std::optional<QString> cell = PreviewText::cellSize(*plan.value)) {
            runs.emplace_back(QStringLiteral("·"), Theme::inkQuaternary());
            runs.emplace_back(*cell, Theme::inkSecondary());
        }
    } else {
        runs.emplace_back(plan.error, Theme::warn());
    }
    caption_->setRuns(std::move(runs));

    center_->hide();
    const bool paged = count >= 2;
    previous_->setVisible(paged);
    pager_->setVisible(paged);
    next_->setVisible(paged);
    previous_->setEnabled(index != 0);
    next_->setEnabled(index < count - 1);
    pager_->setText(PreviewText::pager(index, count));

    GridCanvas::Input input;
    input.sheet = sheet;
    input.plan = plan.value;
    if (plan.ok() && index >= 0 && index < count) {
        input.cells = model_->gridCells(pages[static_cast<std::size_t>(index)], *plan.value);
    }
    input.spec = model_->gridSpec();
    if (const PhotoItem* selected = model_->selectedPhoto()) {
        input.selectedID = selected->id;
    }
    input.selectedImage = model_->previewImage();
    input.geometry = geometry_;

    Grid grid;
    grid.plan = plan.value;
    for (const GridCell& cell : input.cells) {
        grid.photos.push_back(cell.photo.id);
    }
    canvas_->setInput(std::move(input));
    shown_ = std::move(grid);
}

void SheetPreview::requestDetail() {
    if (!geometry_.isDrawable()) {
        return;
    }
    const double drawn = geometry_.pageWidth * geometry_.scale * detailFactor;
    if (!(drawn < 1e9)) {
        return;
    }
    const int pixels = static_cast<int>(std::llround(drawn));
    if (requestedPixels_ == pixels) {
        return;
    }
    requestedPixels_ = pixels;
    model_->requestPreviewDetail(pixels);
}

// ---- Gestures ----

const PhotoItem* SheetPreview::gesturePhoto() const {
    const Single* single = std::get_if<Single>(&shown_);
    if (!single || !single->placement) {
        return nullptr;
    }
    for (const PhotoItem& photo : model_->photos()) {
        if (photo.id == single->photo) {
            return &photo;
        }
    }
    return nullptr;
}

void SheetPreview::pressed(QPointF at) {
    pressAt_ = at;
    drag_.reset();
}

void SheetPreview::moved(QPointF at) {
    if (!pressAt_ || !std::holds_alternative<Single>(shown_)) {
        return;
    }
    const QPointF translation = at - *pressAt_;
    if (!drag_ && std::hypot(translation.x(), translation.y()) < DragArithmetic::startDistance) {
        return;
    }
    const PhotoItem* photo = gesturePhoto();
    if (!photo) {
        return;
    }
    const Single& single = std::get<Single>(shown_);
    if (!drag_) {
        PrintKit::Size offset;
        const auto stored = model_->offsets().constFind(photo->id);
        if (stored != model_->offsets().constEnd()) {
            offset = *stored;
        }
        drag_ = DragArithmetic::began(*pressAt_, *single.placement, geometry_,
                                      model_->layoutMode() == LayoutMode::exact, offset);
        dragging_ = drag_->kind != PreviewDrag::Kind::ignored;
    }
    switch (drag_->kind) {
    case PreviewDrag::Kind::ignored:
        return;
    case PreviewDrag::Kind::move:
        model_->setOffset(DragArithmetic::movedOffset(drag_->origin, translation, geometry_.scale), *photo);
        return;
    case PreviewDrag::Kind::resize: {
        const std::optional<PrintKit::Rect> area =
            DragArithmetic::resizeArea(single.sheet, model_->marginMM());
        if (!area) {
            return;
        }
        const PrintKit::Rect rect =
            DragArithmetic::resized(*drag_, translation, geometry_.scale, *area, single.sheet.page);
        model_->resizeExact(rect, *area, *photo);
        return;
    }
    }
}

void SheetPreview::released(QPointF at) {
    // No press: the release that ends a double-click, which has done its work already.
    const std::optional<QPointF> press = pressAt_;
    const bool wasDrag = drag_.has_value();
    const bool wasDragging = dragging_;
    pressAt_.reset();
    drag_.reset();
    dragging_ = false;
    if (wasDragging) {
        refreshLater_.schedule(); // the frame of the drag goes
    }
    // A tap in the grid selects a cell, unless it turns out to be the first half of a double-click; a press
    // that wandered off is no tap.
    const bool tap = press && !wasDrag && QLineF(*press, at).length() < QApplication::startDragDistance();
    if (tap && std::holds_alternative<Grid>(shown_)) {
        tapAt_ = at;
        tapTimer_->start(QApplication::doubleClickInterval());
    }
}

void SheetPreview::doubleClicked() {
    tapTimer_->stop();
    pressAt_.reset();
    drag_.reset();
    setZoom(zoom_ > 1 ? 1 : 2);
}

void SheetPreview::tapped(QPointF at) {
    const Grid* grid = std::get_if<Grid>(&shown_);
    if (!grid || !grid->plan || !geometry_.isDrawable()) {
        return;
    }
    const PrintKit::Point point = geometry_.pagePoint(at);
    for (std::size_t i = 0; i < grid->plan->cells.size(); ++i) {
        if (grid->plan->pageRect(grid->plan->cells[i]).contains(point)) {
            if (i < grid->photos.size()) {
                model_->setSelectedPhotoID(grid->photos[i]);
            }
            return;
        }
    }
}

} // namespace QuilmPrint
