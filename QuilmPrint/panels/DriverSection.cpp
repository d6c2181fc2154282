#include "QuilmPrint/panels/DriverSection.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

namespace QuilmPrint {

namespace {
ElidedLabel* rowText(const QString& text, const QFont& font, const QColor& colour, QWidget* parent) {
    auto* label = new ElidedLabel(text, parent);
    label->setFont(font);
    label->setColour(colour);
    return label;
}
} // namespace

// ---- The options list ----

DriverOptionsList::DriverOptionsList(QWidget* parent) : QWidget(parent, Qt::Popup) {
    setObjectName(QStringLiteral("driverOptions"));
    setFixedSize(520, 460);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* title = new QLabel(QString::fromUtf8(DriverText::listTitle), this);
    TextStyle::sectionTitle(title);
    title->setFixedHeight(32);
    title->setContentsMargins(14, 0, 14, 0);
    layout->addWidget(title);
    layout->addWidget(new Hairline(false, this));

    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    list_ = new QWidget;
    list_->setAutoFillBackground(false);
    listLayout_ = new QVBoxLayout(list_);
    listLayout_->setContentsMargins(14, 14, 14, 14);
    listLayout_->setSpacing(5);
    listLayout_->addStretch(1);
    scroll->setWidget(list_);
    layout->addWidget(scroll, 1);
}

void DriverOptionsList::setRows(const std::vector<DriverText::OptionRow>& rows) {
    if (rows == rows_)
        return;
    rows_ = rows;
    while (listLayout_->count() > 1) {
        QLayoutItem* item = listLayout_->takeAt(0);
        delete item->widget();
        delete item;
    }
    const QFont names = Theme::font(11.5), pairs = Theme::monospacedFont(10);
    int index = 0;
    for (const DriverText::OptionRow& row : rows_) {
        auto* line = new QWidget(list_);
        line->setObjectName(QStringLiteral("option-") + QString::number(index));
        auto* layout = new QHBoxLayout(line);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(10);
        ElidedLabel* name = rowText(row.name, names, Theme::inkSecondary(), line);
        name->setFixedWidth(150);
        layout->addWidget(name, 0, Qt::AlignBaseline);
        layout->addWidget(rowText(row.valueName, names, Theme::ink(), line), 1, Qt::AlignBaseline);
        layout->addSpacing(6);
        layout->addWidget(rowText(row.pair, pairs, Theme::inkQuaternary(), line), 0, Qt::AlignBaseline);
        listLayout_->insertWidget(index++, line);
    }
}

void DriverOptionsList::popUp(QWidget* anchor) {
    const QPoint topLeft = anchor->mapToGlobal(QPoint(0, 0));
    QRect frame(QPoint(topLeft.x() - width() - 8, topLeft.y() + anchor->height() / 2 - height() / 2), size());
    if (QScreen* screen = anchor->screen()) {
        const QRect room = screen->availableGeometry();
        if (frame.left() < room.left()) // no room on the leading side: below the button instead
            frame.moveTopLeft(
                QPoint(topLeft.x() + anchor->width() - width(), topLeft.y() + anchor->height() + 6));
        frame.moveLeft(std::clamp(frame.left(), room.left(), std::max(room.left(), room.right() - width())));
        frame.moveTop(std::clamp(frame.top(), room.top(), std::max(room.top(), room.bottom() - height())));
    }
    move(frame.topLeft());
    show();
}

void DriverOptionsList::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Theme::base());
    painter.setPen(Theme::border());
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

void DriverOptionsList::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    emit closed();
}

// ---- The section ----

DriverSection::DriverSection(PrintModel* model, QWidget* parent)
    : InspectorSection(QStringLiteral("드라이버"), parent), model_(model) {
    unprepared_ = helperLabel(QString::fromUtf8(DriverText::unpreparedLine), this);
    unprepared_->setObjectName(QStringLiteral("driverUnprepared"));
    rows()->addWidget(unprepared_);

    preparedRow_ = new QWidget(this);
    auto* row = new QHBoxLayout(preparedRow_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    count_ = helperLabel({}, preparedRow_);
    count_->setObjectName(QStringLiteral("driverCount"));
    row->addWidget(count_, 1);
    show_ = new ChipButton(QStringLiteral("보기"), ChipStyle{false, Theme::inkSecondary(), 24}, preparedRow_);
    show_->setObjectName(QStringLiteral("showDriverOptions"));
    row->addWidget(show_, 0, Qt::AlignVCenter);
    rows()->addWidget(preparedRow_);

    list_ = new DriverOptionsList(this);
    QObject::connect(list_, &DriverOptionsList::closed, this, [this] { showingOptions_ = false; });
    QObject::connect(show_, &QPushButton::clicked, this, &DriverSection::showOptions);
}

void DriverSection::showOptions() {
    if (showingOptions_)
        return;
    showingOptions_ = true;
    list_->setRows(rows_);
    list_->popUp(show_);
}

void DriverSection::closeOptions() {
    if (list_->isVisible())
        list_->close();
    showingOptions_ = false;
}

void DriverSection::refresh(const PrintKit::PPDFile& ppd, const Outcome<PreparedSheet>& prepared) {
    unprepared_->setVisible(!prepared.ok());
    preparedRow_->setVisible(prepared.ok());
    if (!prepared.ok()) {
        rows_.clear();
        closeOptions();
        return;
    }
    const auto& options = prepared.value->options;
    setLabelText(count_, DriverText::countLine(options.size()));
    rows_ = DriverText::optionRows(options, ppd);
    if (showingOptions_)
        list_->setRows(rows_);
}

} // namespace QuilmPrint
