#include "QuilmPrint/shared/Controls.h"

#include "QuilmPrint/shared/FocusRing.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QStyleOptionSpinBox>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace QuilmPrint {

namespace {

constexpr double labelPixels = 12.5;
constexpr double grid = 16; // symbols are drawn on a 16 × 16 grid scaled into their box

QPen strokePen(const QColor& colour, double weight) {
    QPen pen(colour, 1.35 * weight);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

QPainterPath polyline(std::initializer_list<QPointF> points) {
    QPainterPath path;
    bool first = true;
    for (const QPointF& point : points) {
        if (first)
            path.moveTo(point);
        else
            path.lineTo(point);
        first = false;
    }
    return path;
}

QPainterPath roundedRect(const QRectF& rect, double radius) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

// Photo frame, hills and sun inside `frame`, all in grid units.
void strokePhoto(QPainter& p, const QRectF& frame) {
    p.drawPath(roundedRect(frame, 1.8));
    const double x = frame.left(), y = frame.top(), w = frame.width(), h = frame.height();
    p.drawPath(polyline({{x, y + h * 0.85},
                         {x + w * 0.32, y + h * 0.45},
                         {x + w * 0.6, y + h * 0.78},
                         {x + w * 0.75, y + h * 0.6},
                         {x + w, y + h * 0.92}}));
    p.save();
    p.setBrush(p.pen().color());
    p.drawEllipse(QPointF(x + w * 0.74, y + h * 0.3), 1.0, 1.0);
    p.restore();
}

void paintArrowClockwise(QPainter& p) {
    const QPointF centre(8, 8.6);
    const double radius = 5.6;
    const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    QPainterPath arc;
    arc.arcMoveTo(circle, 50);
    arc.arcTo(circle, 50, -315); // clockwise on screen, ending just right of the top
    p.drawPath(arc);
    const QPointF end = arc.currentPosition();
    p.drawPath(
        polyline({{end.x() - 1.4, end.y() - 2.3}, {end.x() + 1.3, end.y()}, {end.x() - 1.4, end.y() + 2.3}}));
}

} // namespace

// ---- Symbols ----

double symbolSide(double pixels) {
    return std::round(pixels * 1.12);
}

void paintSymbol(QPainter& painter, Symbol symbol, const QRectF& box, const QColor& colour, double weight) {
    const double side = std::min(box.width(), box.height());
    if (!(side > 0) || !std::isfinite(side))
        return;
    QPainter& p = painter;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(box.center().x() - side / 2, box.center().y() - side / 2);
    p.scale(side / grid, side / grid);
    p.setPen(strokePen(colour, weight));
    p.setBrush(Qt::NoBrush);

    switch (symbol) {
    case Symbol::plus:
        p.drawLine(QPointF(8, 2.5), QPointF(8, 13.5));
        p.drawLine(QPointF(2.5, 8), QPointF(13.5, 8));
        break;
    case Symbol::minus:
        p.drawLine(QPointF(2.5, 8), QPointF(13.5, 8));
        break;
    case Symbol::xmark:
        p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
        p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
        break;
    case Symbol::trash:
        p.drawLine(QPointF(2.2, 4), QPointF(13.8, 4));
        p.drawPath(polyline({{6, 4}, {6, 2.2}, {10, 2.2}, {10, 4}}));
        p.drawPath(polyline({{3.7, 4}, {4.6, 14.2}, {11.4, 14.2}, {12.3, 4}}));
        p.drawLine(QPointF(6.7, 6.7), QPointF(6.9, 11.7));
        p.drawLine(QPointF(9.3, 6.7), QPointF(9.1, 11.7));
        break;
    case Symbol::chevronDown:
        p.drawPath(polyline({{3.5, 5.8}, {8, 10.3}, {12.5, 5.8}}));
        break;
    case Symbol::chevronLeft:
        p.drawPath(polyline({{10.2, 3.5}, {5.7, 8}, {10.2, 12.5}}));
        break;
    case Symbol::chevronRight:
        p.drawPath(polyline({{5.8, 3.5}, {10.3, 8}, {5.8, 12.5}}));
        break;
    case Symbol::photo:
        strokePhoto(p, QRectF(1.5, 3, 13, 10));
        break;
    case Symbol::photoStack: {
        p.save();
        p.translate(9, 6.5);
        p.rotate(-10);
        p.drawPath(roundedRect(QRectF(-5.5, -4.5, 11, 8), 1.6));
        p.restore();
        QPainterPath plate = roundedRect(QRectF(1, 6, 11.5, 8.5), 1.8);
        p.save();
        p.setPen(Qt::NoPen);
        p.setBrush(Theme::base());
        p.drawPath(plate);
        p.restore();
        strokePhoto(p, QRectF(1, 6, 11.5, 8.5));
        break;
    }
    case Symbol::printer: {
        QPainterPath body = roundedRect(QRectF(1.2, 5.6, 13.6, 6.6), 1.6);
        QPainterPath slot;
        slot.addRect(QRectF(4, 9.6, 8, 6));
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawPath(body.subtracted(slot));
        p.drawRect(QRectF(4.2, 1.6, 7.6, 3.2));
        p.setPen(strokePen(colour, weight * 0.8));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(4.9, 10.3, 6.2, 4.1));
        break;
    }
    case Symbol::document:
        p.drawPath(polyline({{3.3, 1.5}, {9.5, 1.5}, {12.7, 4.7}, {12.7, 14.5}, {3.3, 14.5}, {3.3, 1.5}}));
        p.drawPath(polyline({{9.5, 1.5}, {9.5, 4.7}, {12.7, 4.7}}));
        p.drawLine(QPointF(5.6, 7.6), QPointF(10.4, 7.6));
        p.drawLine(QPointF(5.6, 9.9), QPointF(10.4, 9.9));
        p.drawLine(QPointF(5.6, 12.2), QPointF(8.6, 12.2));
        break;
    case Symbol::folder:
        p.drawPath(
            polyline({{1.5, 3.2}, {6, 3.2}, {7.5, 5}, {14.5, 5}, {14.5, 13.5}, {1.5, 13.5}, {1.5, 3.2}}));
        p.drawLine(QPointF(1.5, 7), QPointF(14.5, 7));
        break;
    case Symbol::checkmark:
        p.drawPath(polyline({{3, 8.5}, {6.5, 12}, {13, 4.5}}));
        break;
    case Symbol::checkmarkCircle: {
        QPainterPath disc;
        disc.addEllipse(QPointF(8, 8), 7, 7);
        QPainterPathStroker stroker;
        stroker.setWidth(1.7 * weight);
        stroker.setCapStyle(Qt::RoundCap);
        stroker.setJoinStyle(Qt::RoundJoin);
        const QPainterPath check = stroker.createStroke(polyline({{4.7, 8.3}, {7, 10.6}, {11.3, 5.8}}));
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawPath(disc.subtracted(check));
        break;
    }
    case Symbol::exclamationTriangle:
        p.drawPath(polyline({{8, 1.8}, {14.8, 13.9}, {1.2, 13.9}, {8, 1.8}}));
        p.drawLine(QPointF(8, 6.2), QPointF(8, 9.6));
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawEllipse(QPointF(8, 11.7), 0.95, 0.95);
        break;
    case Symbol::arrowClockwise:
        paintArrowClockwise(p);
        break;
    case Symbol::arrowCounterclockwise:
        p.translate(grid, 0);
        p.scale(-1, 1);
        paintArrowClockwise(p);
        break;
    case Symbol::arrowDownCircle:
        p.drawEllipse(QPointF(8, 8), 6.6, 6.6);
        p.drawLine(QPointF(8, 4.4), QPointF(8, 11.2));
        p.drawPath(polyline({{5.3, 8.6}, {8, 11.3}, {10.7, 8.6}}));
        break;
    case Symbol::listBullet:
        for (double y : {4.0, 8.0, 12.0}) {
            p.drawLine(QPointF(6, y), QPointF(14, y));
            p.save();
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawEllipse(QPointF(2.8, y), 1.05, 1.05);
            p.restore();
        }
        break;
    }
    p.restore();
}

SymbolView::SymbolView(Symbol symbol, double pixels, const QColor& colour, QWidget* parent)
    : QWidget(parent), symbol_(symbol), pixels_(pixels), colour_(colour) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SymbolView::setSymbol(Symbol symbol) {
    symbol_ = symbol;
    update();
}
void SymbolView::setColour(const QColor& colour) {
    colour_ = colour;
    update();
}
void SymbolView::setWeight(double weight) {
    weight_ = weight;
    update();
}

QSize SymbolView::sizeHint() const {
    const int side = int(std::ceil(symbolSide(pixels_)));
    return {side, side};
}

void SymbolView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintSymbol(painter, symbol_, QRectF(rect()), colour_, weight_);
}

// ---- Menu chip label ----

namespace {
constexpr double menuSymbolPixels = 11;
constexpr double chevronPixels = 9;
constexpr double menuSpacing = 7;
} // namespace

QSizeF menuChipLabelSize(const MenuChipLabel& label) {
    const QFontMetricsF metrics(Theme::font(labelPixels, label.weight));
    double width = metrics.horizontalAdvance(label.text) + menuSpacing + symbolSide(chevronPixels);
    if (label.symbol)
        width += symbolSide(menuSymbolPixels) + menuSpacing;
    return {std::ceil(width), std::ceil(metrics.height())};
}

void paintMenuChipLabel(QPainter& painter, const QRectF& rect, const MenuChipLabel& label) {
    const QFont font = Theme::font(labelPixels, label.weight);
    const QFontMetricsF metrics(font);
    const double centreY = rect.center().y();
    double x = rect.left();
    if (label.symbol) {
        const double side = symbolSide(menuSymbolPixels);
        paintSymbol(painter, *label.symbol, QRectF(x, centreY - side / 2, side, side), Theme::inkSecondary());
        x += side + menuSpacing;
    }
    const double chevron = symbolSide(chevronPixels);
    const double room = std::max(0.0, rect.right() - x - menuSpacing - chevron);
    const QString text = metrics.elidedText(label.text, label.truncation, room);
    painter.save();
    painter.setFont(font);
    painter.setPen(Theme::ink());
    const double textWidth = metrics.horizontalAdvance(text);
    painter.drawText(QRectF(x, rect.top(), textWidth + 1, rect.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     text);
    painter.restore();
    x += textWidth + menuSpacing;
    paintSymbol(painter, Symbol::chevronDown, QRectF(x, centreY - chevron / 2, chevron, chevron),
                Theme::inkTertiary(), 1.3);
}

// ---- Chip buttons ----

ChipButton::ChipButton(const QString& text, ChipStyle style, QWidget* parent) : QPushButton(text, parent) {
    setAutoDefault(false);
    // Clicking a chip must not take the keyboard from a field being typed in.
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setChipStyle(style);
    FocusRing::attach(this, [](const QWidget& chip) {
        return RingOutline{static_cast<const ChipButton&>(chip).chipRect(), 8};
    });
}

ChipButton::ChipButton(const QString& text, ProminentChipStyle style, QWidget* parent)
    : ChipButton(text, ChipStyle{}, parent) {
    setProminentStyle(style);
}

void ChipButton::setChipStyle(ChipStyle style) {
    chip_ = style;
    prominent_.reset();
    setFixedHeight(chipHeight());
    updateGeometry();
    update();
}

void ChipButton::setProminentStyle(ProminentChipStyle style) {
    prominent_ = style;
    setFixedHeight(chipHeight());
    updateGeometry();
    update();
}

void ChipButton::setSymbol(std::optional<Symbol> symbol) {
    symbol_ = symbol;
    updateGeometry();
    update();
}

void ChipButton::setMenuLabel(std::optional<MenuChipLabel> label) {
    menuLabel_ = std::move(label);
    updateGeometry();
    update();
}

void ChipButton::setBusy(bool busy) {
    if (busy_ == busy)
        return;
    busy_ = busy;
    runSpinner();
}

void ChipButton::setSymbolBusy(bool busy) {
    if (symbolBusy_ == busy)
        return;
    symbolBusy_ = busy;
    runSpinner();
}

void ChipButton::runSpinner() {
    const bool spinning = busy_ || symbolBusy_;
    if (spinning && !spinnerTimer_) {
        spinnerTimer_ = new QTimer(this);
        spinnerTimer_->setInterval(80);
        QObject::connect(spinnerTimer_, &QTimer::timeout, this, [this] {
            spinnerPhase_ = (spinnerPhase_ + 1) % 12;
            update();
        });
    }
    if (spinnerTimer_) {
        if (spinning)
            spinnerTimer_->start();
        else
            spinnerTimer_->stop();
    }
    updateGeometry();
    update();
}

int ChipButton::chipHeight() const {
    return prominent_ ? prominent_->height : chip_.height;
}
QRectF ChipButton::chipRect() const {
    const double inset = (height() - chipHeight()) / 2.0;
    return QRectF(rect()).adjusted(0, inset, 0, -inset);
}
double ChipButton::padding() const {
    return prominent_ ? 14 : 12;
}

QFont ChipButton::labelFont() const {
    return Theme::font(labelPixels, prominent_ ? QFont::DemiBold : QFont::Normal);
}

QColor ChipButton::labelColour() const {
    if (!prominent_)
        return chip_.tint;
    return isEnabled() ? QColor(Qt::white) : Theme::inkTertiary();
}

QSizeF ChipButton::contentSize() const {
    if (busy_)
        return {14, 14};
    if (menuLabel_)
        return menuChipLabelSize(*menuLabel_);
    const QFontMetricsF metrics(labelFont());
    double width = text().isEmpty() ? 0 : metrics.horizontalAdvance(text());
    if (symbol_)
        width += symbolSide(labelPixels) + (text().isEmpty() ? 0 : 6);
    return {std::ceil(width), std::ceil(metrics.height())};
}

QSize ChipButton::sizeHint() const {
    return {int(std::ceil(contentSize().width() + 2 * padding())), chipHeight()};
}

QSize ChipButton::minimumSizeHint() const {
    if (menuLabel_ && !busy_) {
        // A menu label gives up its text before anything else.
        MenuChipLabel bare = *menuLabel_;
        bare.text = QStringLiteral("…");
        return {int(std::ceil(menuChipLabelSize(bare).width() + 2 * padding())), chipHeight()};
    }
    return sizeHint();
}

void ChipButton::paintContent(QPainter& painter, const QRectF& rect) const {
    const QSizeF size = contentSize();
    const double width = std::min(size.width(), rect.width());
    const QRectF content(rect.center().x() - width / 2, rect.top(), width, rect.height());
    if (busy_) {
        paintSpinner(painter, QRectF(content.center() - QPointF(7, 7), QSizeF(14, 14)), spinnerPhase_,
                     labelColour());
        return;
    }
    if (menuLabel_) {
        paintMenuChipLabel(painter, content, *menuLabel_);
        return;
    }
    double x = content.left();
    if (symbol_) {
        const double side = symbolSide(labelPixels);
        const QRectF box(x, content.center().y() - side / 2, side, side);
        if (symbolBusy_)
            paintSpinner(painter, box, spinnerPhase_, labelColour());
        else
            paintSymbol(painter, *symbol_, box, labelColour(), prominent_ ? 1.3 : 1);
        x += side + 6;
    }
    if (!text().isEmpty()) {
        painter.setFont(labelFont());
        painter.setPen(labelColour());
        const QFontMetricsF metrics(labelFont());
        const QString shown = metrics.elidedText(text(), Qt::ElideRight, std::max(0.0, content.right() - x));
        painter.drawText(QRectF(x, content.top(), content.right() - x + 1, content.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, shown);
    }
}

void ChipButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool pressed = isDown();
    const QRectF chip = chipRect();
    if (prominent_) {
        painter.setOpacity(pressed ? 0.7 : 1.0);
        painter.setPen(Qt::NoPen);
        painter.setBrush(isEnabled() ? prominent_->tint : Theme::control());
        painter.drawRoundedRect(chip, 8, 8);
    } else {
        painter.setOpacity(pressed ? 0.6 : (isEnabled() ? 1.0 : 0.35));
        if (chip_.filled) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(Theme::controlActive());
            painter.drawRoundedRect(chip, 8, 8);
        } else {
            QColor outline = chip_.tint;
            outline.setAlphaF(outline.alphaF() * 0.28f);
            painter.setPen(QPen(outline, 1));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(chip.adjusted(0.5, 0.5, -0.5, -0.5), 7.5, 7.5);
        }
    }
    paintContent(painter, chip.adjusted(padding(), 0, -padding(), 0));
}

// ---- Hairline ----

Hairline::Hairline(bool vertical, QWidget* parent) : QWidget(parent) {
    if (vertical) {
        setFixedWidth(1);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    } else {
        setFixedHeight(1);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
}

void Hairline::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Theme::hairline());
}

// ---- Progress bar ----

void paintProgressBar(QPainter& painter, const QRectF& rect, double value, const QColor& tint) {
    if (!(rect.width() > 0) || !(rect.height() > 0))
        return;
    const double fraction = std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0.0;
    const double radius = rect.height() / 2;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::control());
    painter.drawRoundedRect(rect, radius, radius);
    const double fill = rect.width() * fraction;
    if (fill > 0) {
        const double fillRadius = std::min(radius, fill / 2);
        painter.setBrush(tint);
        painter.drawRoundedRect(QRectF(rect.left(), rect.top(), fill, rect.height()), fillRadius, radius);
    }
    painter.restore();
}

ProgressBar::ProgressBar(double value, int height, const QColor& tint, QWidget* parent)
    : QWidget(parent), value_(value), tint_(tint) {
    setFixedHeight(height);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ProgressBar::setValue(double value) {
    if (value == value_)
        return;
    value_ = value;
    update();
}

void ProgressBar::setTint(const QColor& tint) {
    tint_ = tint;
    update();
}

void ProgressBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintProgressBar(painter, QRectF(rect()), value_, tint_);
}

// ---- Switch ----

Switch::Switch(QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    FocusRing::attach(this, [](const QWidget& toggle) {
        const QRectF track = static_cast<const Switch&>(toggle).trackRect();
        return RingOutline{track, track.height() / 2};
    });
}

QSize Switch::sizeHint() const {
    return {26, 15};
}

QRectF Switch::trackRect() const {
    const QSizeF size = sizeHint();
    return {QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size};
}

void Switch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(0.45);
    const QRectF track = trackRect();
    const double radius = track.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(isChecked() ? Theme::active() : Theme::controlActive());
    painter.drawRoundedRect(track, radius, radius);
    const double knob = track.height() - 3;
    const double x = isChecked() ? track.right() - 1.5 - knob : track.left() + 1.5;
    painter.setBrush(isDown() ? QColor(230, 230, 230) : QColor(Qt::white));
    painter.drawEllipse(QRectF(x, track.top() + 1.5, knob, knob));
}

// ---- Switch row ----

ToggleRow::ToggleRow(const QString& title, QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    title_ = new QLabel(title, this);
    title_->setFont(Theme::font(labelPixels));
    setTextColour(title_, Theme::ink());
    switch_ = new Switch(this);
    switch_->setAccessibleName(title);
    layout->addWidget(title_, 0, Qt::AlignVCenter);
    layout->addStretch(1);
    layout->addWidget(switch_, 0, Qt::AlignVCenter);
    QObject::connect(switch_, &QAbstractButton::clicked, this, &ToggleRow::toggled);
}

bool ToggleRow::isOn() const {
    return switch_->isChecked();
}

void ToggleRow::setOn(bool on) {
    if (switch_->isChecked() != on)
        switch_->setChecked(on);
}

void ToggleRow::setTitle(const QString& title) {
    title_->setText(title);
    switch_->setAccessibleName(title);
}

// ---- Text ----

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent) : QWidget(parent), text_(text) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ElidedLabel::setText(const QString& text) {
    if (text == text_)
        return;
    text_ = text;
    updateGeometry();
    update();
}

void ElidedLabel::setColour(const QColor& colour) {
    if (colour == colour_)
        return;
    colour_ = colour;
    update();
}

void ElidedLabel::setElideMode(Qt::TextElideMode mode) {
    mode_ = mode;
    update();
}

void ElidedLabel::setAlignment(Qt::Alignment alignment) {
    alignment_ = alignment;
    update();
}

QSize ElidedLabel::sizeHint() const {
    const QFontMetricsF metrics(font());
    return {int(std::ceil(metrics.horizontalAdvance(text_))) + 1, int(std::ceil(metrics.height()))};
}

QSize ElidedLabel::minimumSizeHint() const {
    const QFontMetricsF metrics(font());
    return {int(std::ceil(metrics.horizontalAdvance(QStringLiteral("…")))) + 1,
            int(std::ceil(metrics.height()))};
}

QString ElidedLabel::shownText() const {
    return QFontMetricsF(font()).elidedText(text_, mode_, width());
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(colour_);
    painter.drawText(QRectF(rect()), int(alignment_), shownText());
}

void ElidedLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange)
        updateGeometry();
    QWidget::changeEvent(event);
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

namespace TextStyle {

QFont sectionTitleFont() {
    QFont font = Theme::font(11, QFont::DemiBold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.4);
    return font;
}

QFont helperFont() {
    return Theme::font(11);
}

void sectionTitle(QLabel* label) {
    label->setFont(sectionTitleFont());
    setTextColour(label, Theme::inkTertiary());
}

void helper(QLabel* label) {
    label->setFont(helperFont());
    setTextColour(label, Theme::inkTertiary());
    label->setWordWrap(true);
    // As tall as its lines at the width it gets: a new policy drops the height-for-width flag that word wrap
    // set, and the label would keep the height of a narrower size hint, an empty line under a short text.
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    policy.setHeightForWidth(true);
    label->setSizePolicy(policy);
}

} // namespace TextStyle

// ---- Number fields ----

void paintFieldPlate(QPainter& painter, const QRectF& rect) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::control());
    painter.drawRoundedRect(rect, 8, 8);
    painter.restore();
}

CountField::CountField(QWidget* parent) : QSpinBox(parent) {
    setFont(Theme::monospacedFont(12));
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setFrame(false);
    lineEdit()->setTextMargins(8 - 2, 0, 8 - 2, 0); // the line edit keeps 2 px of its own on each side
    // The plate shows through the field's own ground.
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::transparent);
    colours.setColor(QPalette::Text, Theme::ink());
    setPalette(colours);
}

QRect CountField::plateRect() const {
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxEditField, this);
}

void CountField::paintEvent(QPaintEvent* event) {
    {
        QPainter painter(this);
        paintFieldPlate(painter, QRectF(plateRect()));
    }
    QSpinBox::paintEvent(event);
}

// ---- Spinner ----

void paintSpinner(QPainter& painter, const QRectF& rect, int phase, const QColor& colour) {
    const double side = std::min(rect.width(), rect.height());
    if (!(side > 0))
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(rect.center());
    const double radius = side / 2;
    for (int spoke = 0; spoke < 12; ++spoke) {
        // The spoke at `phase` is brightest; the ones behind it fade.
        const int behind = ((phase - spoke) % 12 + 12) % 12;
        QColor c = colour;
        c.setAlphaF(c.alphaF() * float(1.0 - behind * 0.07));
        QPen pen(c, std::max(1.0, radius * 0.2));
        pen.setCapStyle(Qt::RoundCap);
        painter.setPen(pen);
        painter.save();
        painter.rotate(spoke * 30.0);
        painter.drawLine(QPointF(0, -radius * 0.5), QPointF(0, -radius * 0.88));
        painter.restore();
    }
    painter.restore();
}

Spinner::Spinner(int side, QWidget* parent) : QWidget(parent), side_(side), timer_(new QTimer(this)) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    timer_->setInterval(80);
    QObject::connect(timer_, &QTimer::timeout, this, [this] {
        phase_ = (phase_ + 1) % 12;
        update();
    });
}

QSize Spinner::sizeHint() const {
    return {side_, side_};
}

void Spinner::setColour(const QColor& colour) {
    colour_ = colour;
    update();
}

void Spinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintSpinner(painter, QRectF(rect()), phase_, colour_);
}

void Spinner::showEvent(QShowEvent*) {
    timer_->start();
}
void Spinner::hideEvent(QHideEvent*) {
    timer_->stop();
}

} // namespace QuilmPrint
