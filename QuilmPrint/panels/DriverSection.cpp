#include "QuilmPrint/panels/DriverSection.h"

#include "QuilmPrint/shared/Popover.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

namespace QuilmPrint {

namespace {

constexpr int listWidth = 520, listHeight = 460;
constexpr int nameWidth = 150, spacing = 10, spacerWidth = 6;

ElidedLabel* rowText(const QString& text, const QFont& font, const QColor& colour, const char* name,
                     QWidget* parent) {
    auto* label = new ElidedLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(font);
    label->setColour(colour);
    return label;
}

// One option: its name in a fixed column, the value's name, and the raw pair at the trailing edge, the three
// on one baseline. The value and the pair share what the name column leaves as `shareRow` says; a box layout
// would take the same amount from both, and a long pair would leave a short value nothing but "…".
class OptionLine : public QWidget {
public:
    OptionLine(const DriverText::OptionRow& row, QWidget* parent) : QWidget(parent) {
        name_ = rowText(row.name, Theme::font(11.5), Theme::inkSecondary(), "name", this);
        value_ = rowText(row.valueName, Theme::font(11.5), Theme::ink(), "value", this);
        pair_ = rowText(row.pair, Theme::monospacedFont(10), Theme::inkQuaternary(), "pair", this);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override {
        return {fixedWidth() + value_->sizeHint().width() + pair_->sizeHint().width(), lineHeight()};
    }
    QSize minimumSizeHint() const override { return {fixedWidth(), lineHeight()}; }

protected:
    void resizeEvent(QResizeEvent*) override {
        const int ascent = baseline();
        auto place = [ascent](ElidedLabel* label, int x, int width) {
            const QFontMetrics metrics(label->font());
            label->setGeometry(x, ascent - metrics.ascent(), std::max(width, 0), label->sizeHint().height());
        };
        const DriverText::RowShare share = DriverText::shareRow(
            width() - fixedWidth(), value_->sizeHint().width(), pair_->sizeHint().width());
        place(name_, 0, nameWidth);
        place(value_, nameWidth + spacing, share.value);
        place(pair_, width() - share.pair, share.pair);
    }

private:
    static int fixedWidth() { return nameWidth + spacing + spacing + spacerWidth + spacing; }
    int baseline() const {
        int ascent = 0;
        for (const ElidedLabel* label : {name_, value_, pair_})
            ascent = std::max(ascent, QFontMetrics(label->font()).ascent());
        return ascent;
    }
    int lineHeight() const {
        int bottom = 0;
        for (const ElidedLabel* label : {name_, value_, pair_})
            bottom = std::max(bottom,
                              baseline() - QFontMetrics(label->font()).ascent() + label->sizeHint().height());
        return bottom;
    }

    ElidedLabel* name_;
    ElidedLabel* value_;
    ElidedLabel* pair_;
};

} // namespace

// ---- The options list ----

DriverOptionsList::DriverOptionsList(QWidget* parent) : QWidget(parent, Qt::Popup) {
    setObjectName(QStringLiteral("driverOptions"));
    setFixedSize(listWidth, listHeight);
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
    int index = 0;
    for (const DriverText::OptionRow& row : rows_) {
        auto* line = new OptionLine(row, list_);
        line->setObjectName(QStringLiteral("option-") + QString::number(index));
        listLayout_->insertWidget(index++, line);
    }
}

void DriverOptionsList::popUp(QWidget* anchor) {
    // Cut to the room there is, the list scrolls; opened again, it asks for its whole height.
    const QRect frame = Popover::frameFor(anchor, QSize(listWidth, listHeight), Popover::Side::leading);
    setFixedSize(frame.size());
    setGeometry(frame); // the content's place: a window frame, where the platform adds one, lies around it
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
