// The centre of the main window: at all times the sheet that printing would produce now. One photo per sheet
// shows the selected photo where the engine places it, and lets the user move it, or resize it in the exact
// layout, with the pointer; many per sheet shows the current grid page, whose cells select their photos. A
// caption tells the paper, the photo or grid size, the warnings of the moment, the zoom and the resolution.
// Nothing here is print state: everything is read from the model and every change goes back through it.
#pragma once

#include "QuilmPrint/model/ModelRecords.h"
#include "QuilmPrint/shared/CoalescedRefresh.h"
#include "QuilmPrint/window/GridCanvas.h"
#include "QuilmPrint/window/PreviewDrag.h"
#include "QuilmPrint/window/SheetCanvas.h"

#include <QColor>
#include <QString>
#include <QUuid>
#include <QWidget>
#include <array>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

class QLabel;
class QScrollArea;
class QTimer;

namespace QuilmPrint {

class ChipButton;
class PrintModel;
class PreviewCanvas;
class CaptionLine;

class SheetPreview : public QWidget {
    Q_OBJECT
public:
    static constexpr std::array<double, 3> zoomSteps{1, 2, 4};

    explicit SheetPreview(PrintModel* model, QWidget* parent = nullptr);

    double zoom() const { return zoom_; }
    void setZoom(double zoom);

    // What the pane shows now, for the window's tests and screenshots.
    bool showsMessage() const;
    QString messageText() const;
    QWidget* canvas() const;
    QScrollArea* scrollArea() const { return scroll_; }
    const SheetGeometry& geometry() const { return geometry_; }
    // The caption's left part as one line, and its pieces with their colours.
    QString captionText() const;
    std::vector<std::pair<QString, QColor>> captionRuns() const;
    QString resolutionText() const;
    QString pagerText() const; // empty while the pager is hidden
    ChipButton* zoomChip(int index) const { return zoomChips_[index]; }
    ChipButton* centerChip() const { return center_; }
    ChipButton* previousPageChip() const { return previous_; }
    ChipButton* nextPageChip() const { return next_; }
    bool isDragging() const { return dragging_; }

protected:
    void paintEvent(QPaintEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class PreviewCanvas;

    // What the last refresh settled for the single-photo sheet, kept for the gestures.
    struct Single {
        QUuid photo;
        PreparedSheet sheet; // as shown: turned when the photo is shown on the turned canvas
        std::optional<PrintKit::Placement> placement;
    };
    // What it settled for the grid page, kept for taps.
    struct Grid {
        std::optional<PrintKit::GridPlan> plan;
        std::vector<QUuid> photos;
    };

    void refresh();
    void showMessage(const QString& text);
    void showSheet(const PreparedSheet& sheet);
    void showGrid(const PreparedSheet& sheet);
    void layOutCanvas(const PrintKit::PPDPageSize& page);
    void requestDetail();
    void updateZoomChips();

    // Gestures, in canvas coordinates.
    void pressed(QPointF at);
    void moved(QPointF at);
    void released(QPointF at);
    void doubleClicked();
    void tapped(QPointF at);
    const PhotoItem* gesturePhoto() const;

    PrintModel* model_;
    CoalescedRefresh refreshLater_;
    double zoom_ = 1;

    QWidget* message_;
    QLabel* messageReason_;
    QWidget* area_; // the padded frame whose inside is the viewport
    QScrollArea* scroll_;
    PreviewCanvas* canvas_;
    QWidget* hairline_;
    QWidget* captionBar_;
    CaptionLine* caption_;
    ChipButton* center_;
    ChipButton* previous_;
    QLabel* pager_;
    ChipButton* next_;
    std::array<ChipButton*, 3> zoomChips_{};
    QLabel* resolution_;

    SheetGeometry geometry_;
    std::optional<int> requestedPixels_; // none until the area is shown
    std::variant<std::monostate, Single, Grid> shown_;

    std::optional<QPointF> pressAt_;
    std::optional<PreviewDrag> drag_;
    bool dragging_ = false;
    QTimer* tapTimer_;
    QPointF tapAt_;
};

} // namespace QuilmPrint
