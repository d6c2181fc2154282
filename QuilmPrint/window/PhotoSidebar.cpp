#include "QuilmPrint/window/PhotoSidebar.h"

#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/shared/CoalescedRefresh.h"
#include "QuilmPrint/shared/Controls.h"
#include "QuilmPrint/shared/Desktop.h"
#include "QuilmPrint/shared/Theme.h"

#include <QAbstractListModel>
#include <QContextMenuEvent>
#include <QEnterEvent>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>

namespace QuilmPrint {

namespace {

constexpr int rowHeight = 56; // 6 + the 44-point thumbnail + 6
constexpr int thumbnailSide = 44;
constexpr int removeSide = 20;

QRect thumbnailRect(const QRect& row) {
    return QRect(row.left() + 12, row.top() + 6, thumbnailSide, thumbnailSide);
}

QRect removeRect(const QRect& row) {
    return QRect(row.right() + 1 - 12 - removeSide, row.top() + (row.height() - removeSide) / 2, removeSide,
                 removeSide);
}

QFont nameFont() {
    return Theme::font(12.5, QFont::DemiBold);
}
QFont detailFont() {
    return Theme::font(11);
}

// The two text lines, stacked two points apart and centred in the row together.
struct TextLines {
    QRectF name;
    QRectF detail;
};

TextLines textLines(const QRect& row) {
    const double left = row.left() + 12 + thumbnailSide + 10;
    const double right = removeRect(row).left() - 4;
    const double nameHeight = QFontMetricsF(nameFont()).height();
    const double detailHeight = QFontMetricsF(detailFont()).height();
    const double top = row.top() + (row.height() - (nameHeight + 2 + detailHeight)) / 2;
    return {QRectF(left, top, right - left, nameHeight),
            QRectF(left, top + nameHeight + 2, right - left, detailHeight)};
}

} // namespace

// ---- Rows, kept by photo id ----

class PhotoRows : public QAbstractListModel {
public:
    struct Row {
        PhotoItem photo;
        PreviewText::PhotoDetail detail;
        bool selected = false;
    };

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount()) {
            return {};
        }
        if (role == Qt::DisplayRole) {
            return rows_[static_cast<std::size_t>(index.row())].photo.name();
        }
        return {};
    }
    const Row& row(int index) const { return rows_[static_cast<std::size_t>(index)]; }

    // Brings the rows in line with the new list: removals and additions as such, only rows whose text, state
    // or thumbnail changed announced as changed, a reset only when the order itself changed.
    void update(std::vector<Row> fresh) {
        if (!sameIDs(fresh)) {
            if (!removeMissing(fresh) || !appendNew(fresh)) {
                beginResetModel();
                rows_ = std::move(fresh);
                endResetModel();
                return;
            }
        }
        int first = -1;
        for (std::size_t i = 0; i < fresh.size(); ++i) {
            Row& old = rows_[i];
            const bool changed = old.detail != fresh[i].detail || old.selected != fresh[i].selected ||
                                 !(old.photo == fresh[i].photo) ||
                                 old.photo.thumbnail.cacheKey() != fresh[i].photo.thumbnail.cacheKey();
            old = std::move(fresh[i]);
            if (changed && first < 0) {
                first = static_cast<int>(i);
            }
            if (!changed && first >= 0) {
                emit dataChanged(index(first), index(static_cast<int>(i) - 1));
                first = -1;
            }
        }
        if (first >= 0) {
            emit dataChanged(index(first), index(rowCount() - 1));
        }
    }

private:
    bool sameIDs(const std::vector<Row>& fresh) const {
        return fresh.size() == rows_.size() &&
               std::equal(fresh.begin(), fresh.end(), rows_.begin(),
                          [](const Row& a, const Row& b) { return a.photo.id == b.photo.id; });
    }

    // Removes the rows whose photos are gone, when the rest keep their order; false (nothing done) otherwise.
    bool removeMissing(const std::vector<Row>& fresh) {
        QHash<QUuid, int> wanted;
        for (std::size_t i = 0; i < fresh.size(); ++i) {
            wanted.insert(fresh[i].photo.id, static_cast<int>(i));
        }
        int last = -1;
        for (const Row& row : rows_) {
            const auto at = wanted.constFind(row.photo.id);
            if (at != wanted.constEnd()) {
                if (*at <= last) {
                    return false;
                }
                last = *at;
            }
        }
        for (int i = rowCount() - 1; i >= 0;) {
            if (wanted.contains(rows_[static_cast<std::size_t>(i)].photo.id)) {
                --i;
                continue;
            }
            int first = i;
            while (first > 0 && !wanted.contains(rows_[static_cast<std::size_t>(first - 1)].photo.id)) {
                --first;
            }
            beginRemoveRows({}, first, i);
            rows_.erase(rows_.begin() + first, rows_.begin() + i + 1);
            endRemoveRows();
            i = first - 1;
        }
        return true;
    }

    // Adds the new photos when the kept ones lead the list in order; false (nothing done) otherwise.
    bool appendNew(std::vector<Row>& fresh) {
        if (fresh.size() < rows_.size() ||
            !std::equal(rows_.begin(), rows_.end(), fresh.begin(),
                        [](const Row& a, const Row& b) { return a.photo.id == b.photo.id; })) {
            return false;
        }
        if (fresh.size() > rows_.size()) {
            beginInsertRows({}, rowCount(), static_cast<int>(fresh.size()) - 1);
            for (std::size_t i = rows_.size(); i < fresh.size(); ++i) {
                rows_.push_back(fresh[i]);
            }
            endInsertRows();
        }
        return true;
    }

    std::vector<Row> rows_;
};

// ---- Painting a row ----

class PhotoRowDelegate : public QStyledItemDelegate {
public:
    PhotoRowDelegate(PhotoListView* view) : QStyledItemDelegate(view), view_(view) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return QSize(option.rect.width(), rowHeight);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const auto* rows = static_cast<const PhotoRows*>(index.model());
        const PhotoRows::Row& row = rows->row(index.row());
        const QRect r = option.rect;
        const bool hovering = view_->hoveredRow() == index.row();
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        if (row.selected) {
            painter->fillRect(r, Theme::panelHover());
            painter->fillRect(QRect(r.left(), r.top(), 2, r.height()), Theme::ink());
        } else if (hovering) {
            painter->fillRect(r, Theme::panel());
        }

        const QRect thumb = thumbnailRect(r);
        if (row.photo.thumbnail.isNull()) {
            paintSymbol(*painter, Symbol::photo, QRectF(thumb).adjusted(10, 10, -10, -10),
                        Theme::inkQuaternary());
        } else {
            painter->drawPixmap(thumb, scaled(row.photo, painter->device()->devicePixelRatioF()));
        }

        const TextLines lines = textLines(r);
        painter->setFont(nameFont());
        painter->setPen(Theme::ink());
        painter->drawText(
            lines.name, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
            QFontMetricsF(nameFont()).elidedText(row.photo.name(), Qt::ElideMiddle, lines.name.width()));
        painter->setFont(detailFont());
        painter->setPen(row.detail.lowResolution ? Theme::warn()
                        : row.selected           ? Theme::inkSecondary()
                                                 : Theme::inkTertiary());
        painter->drawText(
            lines.detail, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
            QFontMetricsF(detailFont()).elidedText(row.detail.text, Qt::ElideRight, lines.detail.width()));

        // The remove button keeps its place while hidden, so the text never jumps under the pointer.
        if (hovering) {
            const QRectF box = QRectF(removeRect(r)).adjusted(5.5, 5.5, -5.5, -5.5);
            paintSymbol(*painter, Symbol::xmark, box, Theme::inkSecondary(), 1.3);
        }
        painter->restore();
    }

private:
    // The thumbnail filling the square, its overhang cut equally from both sides; made once per picture.
    QPixmap scaled(const PhotoItem& photo, double ratio) const {
        const qint64 key = photo.thumbnail.cacheKey();
        auto cached = cache_.constFind(photo.id);
        if (cached != cache_.constEnd() && cached->first == key &&
            cached->second.devicePixelRatio() == ratio) {
            return cached->second;
        }
        const int side = static_cast<int>(std::ceil(thumbnailSide * ratio));
        QImage fill =
            photo.thumbnail.scaled(side, side, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
        fill = fill.copy((fill.width() - side) / 2, (fill.height() - side) / 2, side, side);
        QPixmap pixmap = QPixmap::fromImage(fill);
        pixmap.setDevicePixelRatio(ratio);
        if (cache_.size() > 4096) {
            cache_.clear();
        }
        cache_.insert(photo.id, {key, pixmap});
        return pixmap;
    }

    PhotoListView* view_;
    mutable QHash<QUuid, std::pair<qint64, QPixmap>> cache_;
};

// ---- The list view ----

PhotoListView::PhotoListView(PhotoRows* rows, QWidget* parent) : QListView(parent), rows_(rows) {
    setModel(rows);
    setItemDelegate(new PhotoRowDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setViewportMargins(0, 4, 0, 4);
    viewport()->setAutoFillBackground(false);
    QObject::connect(rows, &QAbstractItemModel::modelReset, this, [this] { hovered_ = -1; });
    QObject::connect(rows, &QAbstractItemModel::rowsRemoved, this, [this] { hovered_ = -1; });
}

void PhotoListView::setHovered(int row) {
    if (row == hovered_) {
        return;
    }
    const int old = hovered_;
    hovered_ = row;
    for (int r : {old, row}) {
        if (r >= 0 && r < rows_->rowCount()) {
            viewport()->update(visualRect(rows_->index(r)));
        }
    }
}

QString PhotoListView::toolTipAt(QPoint point) const {
    const QModelIndex index = indexAt(point);
    if (!index.isValid()) {
        return {};
    }
    const QRect r = visualRect(index);
    if (removeRect(r).contains(point)) {
        return QStringLiteral("목록에서 빼기");
    }
    const PhotoRows::Row& row = rows_->row(index.row());
    if (row.detail.lowResolution && textLines(r).detail.contains(point)) {
        return PhotoSidebar::lowResolutionWarning;
    }
    return {};
}

bool PhotoListView::viewportEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::Enter:
        setHovered(indexAt(static_cast<QEnterEvent*>(event)->position().toPoint()).row());
        break;
    case QEvent::Leave:
        setHovered(-1);
        break;
    case QEvent::ToolTip: {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = toolTipAt(help->pos());
        if (tip.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), tip, viewport());
        }
        return true;
    }
    default:
        break;
    }
    return QListView::viewportEvent(event);
}

void PhotoListView::mouseMoveEvent(QMouseEvent* event) {
    setHovered(indexAt(event->position().toPoint()).row());
    event->accept();
}

void PhotoListView::mousePressEvent(QMouseEvent* event) {
    // The selection lives in the model; the view's own selection and drag handling stay out of the way.
    event->accept();
}

void PhotoListView::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
}

void PhotoListView::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint point = event->position().toPoint();
    const QModelIndex index = indexAt(point);
    if (!index.isValid()) {
        return;
    }
    const QUuid id = rows_->row(index.row()).photo.id;
    if (removeRect(visualRect(index)).contains(point)) {
        emit removeRequested(id);
    } else {
        emit selectRequested(id);
    }
}

void PhotoListView::contextMenuEvent(QContextMenuEvent* event) {
    const QModelIndex index = indexAt(event->pos());
    if (index.isValid()) {
        emit menuRequested(rows_->row(index.row()).photo.id, event->globalPos());
    }
    event->accept();
}

// ---- The empty state ----

namespace {

// The drop invitation: a dashed rounded outline round the words and the add button.
class EmptyDropArea : public QWidget {
public:
    explicit EmptyDropArea(QWidget* parent) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPen pen(Theme::border(), 2);
        pen.setCapStyle(Qt::FlatCap);
        pen.setJoinStyle(Qt::MiterJoin);
        pen.setDashPattern({3.5, 2.5}); // 7 and 5 points in a two-point pen's units
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        // Inside the edge: the stroke's middle one point in.
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 11, 11);
    }
};

} // namespace

// ---- The sidebar ----

PhotoSidebar::PhotoSidebar(PrintModel* model, QWidget* parent)
    : QWidget(parent), model_(model), refreshLater_(this, [this] { refresh(); }) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    rows_ = new PhotoRows(this);
    list_ = new PhotoListView(rows_, this);
    column->addWidget(list_, 1);

    empty_ = new QWidget(this);
    auto* emptyMargins = new QVBoxLayout(empty_);
    emptyMargins->setContentsMargins(14, 14, 14, 14);
    auto* drop = new EmptyDropArea(empty_);
    emptyMargins->addWidget(drop);
    auto* stack = new QVBoxLayout(drop);
    stack->setContentsMargins(12, 12, 12, 12);
    stack->setSpacing(10);
    stack->addStretch(1);
    auto* symbol = new SymbolView(Symbol::photoStack, 24, Theme::inkQuaternary(), drop);
    symbol->setWeight(1.15);
    stack->addWidget(symbol, 0, Qt::AlignHCenter);
    auto* invite = new QLabel(QStringLiteral("사진을 끌어다 놓으세요"), drop);
    invite->setFont(Theme::font(13));
    setTextColour(invite, Theme::inkSecondary());
    stack->addWidget(invite, 0, Qt::AlignHCenter);
    auto* kinds =
        new QLabel(QStringLiteral("JPEG·TIFF·PNG·HEIC\n폴더를 놓으면 안의 사진을 모두 찾습니다"), drop);
    kinds->setFont(Theme::font(11));
    kinds->setAlignment(Qt::AlignHCenter);
    kinds->setWordWrap(true);
    setTextColour(kinds, Theme::inkTertiary());
    stack->addWidget(kinds);
    stack->addSpacing(4);
    auto* addFromEmpty =
        new ChipButton(QStringLiteral("사진 추가…"), ChipStyle{false, Theme::inkSecondary(), 30}, drop);
    stack->addWidget(addFromEmpty, 0, Qt::AlignHCenter);
    stack->addStretch(1);
    column->addWidget(empty_, 1);

    column->addWidget(new Hairline(false, this));

    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(14, 6, 14, 6);
    footer->setSpacing(8);
    add_ = new ChipButton(QString(), ChipStyle{false, Theme::inkSecondary(), 30}, this);
    add_->setSymbol(Symbol::plus);
    add_->setToolTip(QStringLiteral("사진 추가"));
    clear_ = new ChipButton(QString(), ChipStyle{false, Theme::inkSecondary(), 30}, this);
    clear_->setSymbol(Symbol::trash);
    clear_->setToolTip(QStringLiteral("목록 비우기"));
    count_ = new QLabel(this);
    count_->setFont(Theme::monospacedFont(11));
    setTextColour(count_, Theme::inkTertiary());
    footer->addWidget(add_);
    footer->addWidget(clear_);
    footer->addStretch(1);
    footer->addWidget(count_);
    column->addLayout(footer);

    QObject::connect(add_, &QPushButton::clicked, this, &PhotoSidebar::addPhotos);
    QObject::connect(addFromEmpty, &QPushButton::clicked, this, &PhotoSidebar::addPhotos);
    QObject::connect(clear_, &QPushButton::clicked, this, [this] { model_->removeAllPhotos(); });

    // The list may change under a queued call; every action finds its photo again by id.
    auto withPhoto = [this](const QUuid& id, auto action) {
        for (const PhotoItem& photo : model_->photos()) {
            if (photo.id == id) {
                action(photo);
                return;
            }
        }
    };
    QObject::connect(list_, &PhotoListView::selectRequested, this,
                     [this](const QUuid& id) { model_->setSelectedPhotoID(id); });
    QObject::connect(list_, &PhotoListView::removeRequested, this, [this, withPhoto](const QUuid& id) {
        withPhoto(id, [this](const PhotoItem& photo) { model_->removePhoto(photo); });
    });
    QObject::connect(list_, &PhotoListView::menuRequested, this, [this](const QUuid& id, QPoint at) {
        QMenu* menu = makeContextMenu(id, this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(at);
    });

    for (auto signal : {&PrintModel::printersChanged, &PrintModel::recipeChanged, &PrintModel::photosChanged,
                        &PrintModel::layoutChanged}) {
        QObject::connect(model_, signal, this, [this] { refreshLater_.schedule(); });
    }
    refreshLater_.now();
}

void PhotoSidebar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgbF(0, 0, 0, 0.28));
}

PreviewText::PhotoDetail PhotoSidebar::detail(const PrintModel& model, const PhotoItem& photo,
                                              const std::optional<PreparedSheet>& sheet) {
    std::optional<double> ppi;
    if (sheet) {
        if (model.photosPerSheet() == PhotosPerSheet::one) {
            const Outcome<PrintKit::Placement> placed = model.placement(photo, *sheet);
            if (placed.ok()) {
                ppi = PreviewText::placementPPI(*placed.value, photo.pixelWidth);
            }
        } else {
            ppi = model.gridPPI(photo, *sheet);
        }
    }
    return PreviewText::photoDetail(photo.pixelWidth, photo.pixelHeight, ppi);
}

void PhotoSidebar::addPhotos() {
    const std::vector<std::filesystem::path> chosen =
        Desktop::shared().choosePhotos(window(), QStringLiteral("출력할 사진이나 폴더를 선택하세요"));
    if (!chosen.empty()) {
        model_->addPhotos(chosen);
    }
}

QMenu* PhotoSidebar::makeContextMenu(const QUuid& id, QWidget* parent) {
    auto* menu = new QMenu(parent);
    auto withPhoto = [this, id](auto action) {
        return [this, id, action] {
            for (const PhotoItem& photo : model_->photos()) {
                if (photo.id == id) {
                    action(photo);
                    return;
                }
            }
        };
    };
    menu->addAction(QStringLiteral("이 사진만 출력"), this,
                    withPhoto([this](const PhotoItem& photo) { model_->printOnly(photo); }));
    menu->addAction(QStringLiteral("파일 관리자에서 보기"), this,
                    withPhoto([this](const PhotoItem& photo) { revealOrTell(this, photo.url); }));
    menu->addSeparator();
    menu->addAction(QStringLiteral("목록에서 빼기"), this,
                    withPhoto([this](const PhotoItem& photo) { model_->removePhoto(photo); }));
    return menu;
}

int PhotoSidebar::rowCount() const {
    return rows_->rowCount();
}
PreviewText::PhotoDetail PhotoSidebar::rowDetail(int row) const {
    return rows_->row(row).detail;
}
QUuid PhotoSidebar::rowID(int row) const {
    return rows_->row(row).photo.id;
}

void PhotoSidebar::refresh() {
    const std::vector<PhotoItem>& photos = model_->photos();
    // A sheet that cannot be prepared is not this column's news: the rows then show their pixel sizes only.
    const Outcome<PreparedSheet> prepared = model_->tryPrepare();
    const std::optional<PreparedSheet>& sheet = prepared.value;
    const PhotoItem* selected = model_->selectedPhoto();

    std::vector<PhotoRows::Row> rows;
    rows.reserve(photos.size());
    for (const PhotoItem& photo : photos) {
        rows.push_back({photo, detail(*model_, photo, sheet), selected && selected->id == photo.id});
    }
    rows_->update(std::move(rows));

    list_->setVisible(!photos.empty());
    empty_->setVisible(photos.empty());
    clear_->setEnabled(!photos.empty());
    count_->setText(PreviewText::photoCount(static_cast<int>(photos.size())));
}

} // namespace QuilmPrint
