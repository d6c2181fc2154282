#include "QuilmPrint/window/PhotoSidebar.h"

#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/window/Controls.h"

#include <QLabel>
#include <QVBoxLayout>

namespace QuilmPrint {

PhotoSidebar::PhotoSidebar(PrintModel* model, QWidget* parent) : QWidget(parent), model_(model) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    list_ = new QLabel(this);
    list_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    list_->setFont(Theme::font(12.5));
    setTextColour(list_, Theme::inkSecondary());
    layout->addWidget(list_, 1);
    QObject::connect(model_, &PrintModel::photosChanged, this, &PhotoSidebar::refresh);
    refresh();
}

void PhotoSidebar::refresh() {
    QStringList names;
    for (const PhotoItem& photo : model_->photos())
        names << photo.name();
    list_->setText(names.isEmpty() ? QStringLiteral("사진을 끌어다 놓으세요") : names.join('\n'));
}

} // namespace QuilmPrint
