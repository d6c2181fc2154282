#include "QuilmPrint/window/SheetPreview.h"

#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/window/Theme.h"

#include <QPainter>

namespace QuilmPrint {

SheetPreview::SheetPreview(PrintModel* model, QWidget* parent) : QWidget(parent), model_(model) {
    setMinimumSize(320, 240);
    QObject::connect(model_, &PrintModel::previewChanged, this, qOverload<>(&QWidget::update));
    QObject::connect(model_, &PrintModel::photosChanged, this, qOverload<>(&QWidget::update));
}

void SheetPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A plain sheet of paper in the middle, in the proportions of A4.
    const double height = std::max(0.0, this->height() - 80.0);
    const double width = height / 1.414;
    const QRectF sheet(this->width() / 2.0 - width / 2, 40, width, height);
    painter.fillRect(sheet, QColor(245, 245, 243));
    const QImage image = model_->previewImage();
    if (!image.isNull() && sheet.width() > 0) {
        const QSizeF fitted = QSizeF(image.size()).scaled(sheet.size() * 0.9, Qt::KeepAspectRatio);
        painter.drawImage(QRectF(sheet.center() - QPointF(fitted.width(), fitted.height()) / 2, fitted),
                          image);
    }
}

} // namespace QuilmPrint
