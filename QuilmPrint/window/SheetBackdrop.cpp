#include "QuilmPrint/window/SheetBackdrop.h"

#include "QuilmPrint/shared/Theme.h"
#include "QuilmPrint/window/PreviewText.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace QuilmPrint {

QPen solidPen(const QColor& colour, double width) {
    QPen pen(colour, width);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    pen.setMiterLimit(10);
    return pen;
}

QPen dashedPen(const QColor& colour, double dash, double gap) {
    QPen pen = solidPen(colour, 1);
    pen.setDashPattern({dash, gap});
    pen.setDashOffset(0);
    return pen;
}

namespace SheetBackdrop {

QColor paperColour() {
    return QColor::fromRgbF(0.96, 0.96, 0.96);
}
QColor labelColour() {
    return QColor::fromRgbF(1, 1, 1, 0.45);
}
QColor shadeColour() {
    return QColor::fromRgbF(0, 0, 0, 0.4);
}

std::optional<QRectF> printableOutline(const PreparedSheet& sheet, const SheetGeometry& geometry) {
    const auto& area = sheet.page.imageableArea;
    if (!area || area->size() != 4) {
        return std::nullopt;
    }
    const auto& a = *area;
    const QRectF sheetRect = geometry.viewRect(PrintKit::Rect(0, 0, geometry.pageWidth, geometry.pageHeight));
    const QRectF outline = geometry.viewRect(PrintKit::Rect(a[0], a[1], a[2] - a[0], a[3] - a[1]));
    if (outline.width() < sheetRect.width() - 1 || outline.height() < sheetRect.height() - 1) {
        return outline;
    }
    return std::nullopt;
}

std::optional<PrintKit::Rect> visibleRect(const PreparedSheet& sheet, const SheetGeometry& geometry) {
    if (sheet.bleed) {
        return sheet.bleed->visible;
    }
    if (sheet.paper && sheet.paper->width < geometry.pageWidth - 0.5) {
        return PrintKit::Rect((geometry.pageWidth - sheet.paper->width) / 2,
                              (geometry.pageHeight - sheet.paper->height) / 2, sheet.paper->width,
                              sheet.paper->height);
    }
    return std::nullopt;
}

QRectF feedLabelRect(const QRectF& sheet, double textWidth, const QRectF& inView) {
    const double band = SheetGeometry::labelBand;
    double centre = sheet.center().x();
    double x = centre - textWidth / 2;
    if (!inView.isEmpty()) {
        const double left = std::max(sheet.left(), inView.left());
        const double right = std::min(sheet.right(), inView.right());
        if (right > left)
            centre = (left + right) / 2;
        x = std::max(std::min(centre - textWidth / 2, inView.right() - textWidth), inView.left());
    }
    return QRectF(x, sheet.top() - 9 - band / 2, textWidth, band);
}

QRectF drawPaper(QPainter& painter, const PreparedSheet& sheet, const SheetGeometry& geometry,
                 const QRectF& inView) {
    if (!geometry.isDrawable()) {
        return {};
    }
    const QRectF sheetRect = geometry.viewRect(PrintKit::Rect(0, 0, geometry.pageWidth, geometry.pageHeight));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(sheetRect, paperColour());

    painter.setFont(Theme::font(10));
    painter.setPen(labelColour());
    const QString text = PreviewText::feedLabel(sheet);
    const QRectF label =
        feedLabelRect(sheetRect, QFontMetricsF(painter.font()).horizontalAdvance(text), inView);
    // The box gets a point of slack on each side: text laid out in a box exactly its width may be cut short.
    painter.drawText(label.adjusted(-1, 0, 1, 0), Qt::AlignCenter | Qt::TextSingleLine, text);

    if (std::optional<QRectF> outline = printableOutline(sheet, geometry)) {
        painter.setPen(dashedPen(QColor::fromRgbF(0, 0, 0, 0.18), 4, 3));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(*outline);
    }
    painter.restore();
    return sheetRect;
}

void drawBleed(QPainter& painter, const PreparedSheet& sheet, const SheetGeometry& geometry,
               const QRectF& paper) {
    if (!geometry.isDrawable()) {
        return;
    }
    const std::optional<PrintKit::Rect> visible = visibleRect(sheet, geometry);
    if (!visible || !visible->isFinite()) {
        return;
    }
    const QRectF shown = geometry.viewRect(*visible);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shade;
    shade.setFillRule(Qt::OddEvenFill);
    shade.addRect(paper);
    shade.addRect(shown);
    painter.fillPath(shade, shadeColour());
    painter.setPen(dashedPen(QColor::fromRgbF(1, 1, 1, 0.85), 5, 4));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(shown);
    painter.restore();
}

} // namespace SheetBackdrop

} // namespace QuilmPrint
