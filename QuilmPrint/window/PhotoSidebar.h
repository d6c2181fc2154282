// The left column of the main window: the photos to print, each with its thumbnail, its name and a detail
// line telling its pixel size and the resolution it prints at on the current sheet (flagged when low); an
// invitation to drop or add photos while the list is empty; and a footer with the add and clear buttons and
// the count. The rows are kept by photo id and only the rows whose text or state changed are redrawn, so a
// list of a thousand photos stays smooth while the sheet settings change.
#pragma once

#include "QuilmPrint/model/ModelRecords.h"
#include "QuilmPrint/shared/CoalescedRefresh.h"
#include "QuilmPrint/window/PreviewText.h"

#include <QListView>
#include <QUuid>
#include <QWidget>
#include <optional>

class QLabel;
class QMenu;

namespace QuilmPrint {

class ChipButton;
class PrintModel;
class PhotoRows;

// The list itself: rows painted by a delegate, with the pointer's row tracked for the remove button.
class PhotoListView : public QListView {
    Q_OBJECT
public:
    explicit PhotoListView(PhotoRows* rows, QWidget* parent = nullptr);

    int hoveredRow() const { return hovered_; }
    // The tooltip at a point of the viewport: the remove button's, or the low-resolution warning over the
    // detail line of a flagged row; empty elsewhere.
    QString toolTipAt(QPoint point) const;

signals:
    void selectRequested(const QUuid& id);
    void removeRequested(const QUuid& id);
    void menuRequested(const QUuid& id, QPoint globalPosition);

protected:
    bool viewportEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void setHovered(int row);

    PhotoRows* rows_;
    int hovered_ = -1;
};

class PhotoSidebar : public QWidget {
    Q_OBJECT
public:
    static inline const QString lowResolutionWarning =
        QStringLiteral("이 크기로 인쇄하기엔 사진 해상도가 낮아 흐려 보일 수 있습니다");

    explicit PhotoSidebar(PrintModel* model, QWidget* parent = nullptr);

    // The detail line of a photo on the sheet, when there is one: its pixel size, and the resolution it
    // prints at (alone on the sheet, or in its grid cell).
    static PreviewText::PhotoDetail detail(const PrintModel& model, const PhotoItem& photo,
                                           const std::optional<PreparedSheet>& sheet);

    // Asks for photos and folders and adds what was chosen.
    void addPhotos();
    // The row's menu; the caller shows it and owns it.
    QMenu* makeContextMenu(const QUuid& id, QWidget* parent = nullptr);

    PhotoListView* list() const { return list_; }
    QWidget* emptyState() const { return empty_; }
    ChipButton* addButton() const { return add_; }
    ChipButton* clearButton() const { return clear_; }
    QLabel* countLabel() const { return count_; }
    int rowCount() const;
    PreviewText::PhotoDetail rowDetail(int row) const;
    QUuid rowID(int row) const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void refresh();

    PrintModel* model_;
    CoalescedRefresh refreshLater_;
    PhotoRows* rows_;
    PhotoListView* list_;
    QWidget* empty_;
    ChipButton* add_;
    ChipButton* clear_;
    QLabel* count_;
};

} // namespace QuilmPrint
