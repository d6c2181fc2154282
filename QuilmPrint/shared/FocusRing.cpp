#include "QuilmPrint/shared/FocusRing.h"

#include "QuilmPrint/shared/Theme.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFocusFrame>
#include <QPainter>
#include <QPainterPath>
#include <QProxyStyle>
#include <cmath>

namespace QuilmPrint {

namespace {

// How far the overlay reaches beyond the control: the ring and a pixel for its antialiased edge.
constexpr int frameMargin = 4;
static_assert(frameMargin >= FocusRing::gap + FocusRing::width + 1);

// What a focus frame asks its style. It lies above the control, in the nearest window or scroll area's
// viewport, so that no tight parent clips the ring and no neighbour covers it; and it has no mask, whose
// square hole would cut the ring's rounded corners where they pass inside the control's rectangle.
class RingStyle : public QProxyStyle {
public:
    RingStyle() : QProxyStyle(QApplication::style()->name()) {}
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        if (metric == PM_FocusFrameHMargin || metric == PM_FocusFrameVMargin)
            return frameMargin;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_FocusFrame_AboveWidget)
            return 1;
        if (hint == SH_FocusFrame_Mask)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

QStyle* ringStyle() {
    static QPointer<QStyle> style;
    if (!style) {
        style = new RingStyle;
        style->setParent(qApp); // gone with the application, after every window
    }
    return style;
}

class RingFrame : public QFocusFrame {
public:
    RingFrame(QWidget* parent, FocusRing::Outline outline)
        : QFocusFrame(parent), outline_(std::move(outline)) {
        setStyle(ringStyle());
    }

protected:
    void paintEvent(QPaintEvent*) override {
        const QWidget* control = widget();
        if (!control)
            return;
        const RingOutline outline = outline_(*control);
        const QRectF shape =
            outline.rect.translated(control->mapTo(window(), QPoint()) - mapTo(window(), QPoint()));
        if (!(shape.width() > 0 && shape.height() > 0) || !std::isfinite(outline.radius))
            return;
        // Both edges of the band are rounded about the shape's own corner centres, so the ring keeps one
        // width all round and never touches the control's fill.
        QPainterPath ring;
        ring.setFillRule(Qt::OddEvenFill);
        for (const double out : {FocusRing::gap, FocusRing::gap + FocusRing::width})
            ring.addRoundedRect(shape.adjusted(-out, -out, out, out), outline.radius + out,
                                outline.radius + out);
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(ring, Theme::active());
    }

private:
    FocusRing::Outline outline_;
};

// Whether the user's last press was a key rather than a mouse button. Qt passes the focus on as if by Tab
// when the focused control is hidden or disabled, also when a click brought that about.
class LastPress : public QObject {
public:
    static bool wasKey() {
        static QPointer<LastPress> watch;
        if (!watch) {
            watch = new LastPress;
            watch->setParent(qApp);
            qApp->installEventFilter(watch);
        }
        return watch->key_;
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress:
            key_ = true;
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::TouchBegin:
            key_ = false;
            break;
        default:
            break;
        }
        return false;
    }

private:
    bool key_ = true;
};

bool fromKeyboard(Qt::FocusReason reason) {
    return (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
            reason == Qt::ShortcutFocusReason) &&
           LastPress::wasKey();
}

// The focus leaves for a while and comes back by itself: a menu opened over the control, or another window
// became active.
bool onlyAway(Qt::FocusReason reason) {
    return reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason;
}

} // namespace

void FocusRing::attach(QWidget* control, Outline outline) {
    LastPress::wasKey(); // watching from the start
    new FocusRing(control, std::move(outline));
}

FocusRing::FocusRing(QWidget* control, Outline outline)
    : QObject(control), control_(control), outline_(std::move(outline)) {
    control->installEventFilter(this);
}

FocusRing::~FocusRing() {
    // The overlay lives in a window or viewport above the control and would stay there, watching a control
    // that is gone.
    delete frame_.data();
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event) {
    if (watched != control_)
        return false;
    switch (event->type()) {
    case QEvent::FocusIn: {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (fromKeyboard(reason))
            fromKeyboard_ = true;
        else if (!onlyAway(reason))
            fromKeyboard_ = false;
        focused_ = true;
        break;
    }
    case QEvent::FocusOut:
        if (!onlyAway(static_cast<QFocusEvent*>(event)->reason()))
            fromKeyboard_ = false;
        focused_ = false;
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        fromKeyboard_ = false;
        break;
    case QEvent::Show:
    case QEvent::Hide:
        break;
    default:
        return false;
    }
    place();
    return false;
}

void FocusRing::place() {
    if (!(fromKeyboard_ && focused_ && control_->isVisible())) {
        // A frame left watching the control would show itself again when the control is next shown.
        if (frame_ && frame_->widget())
            frame_->setWidget(nullptr);
        return;
    }
    if (!frame_)
        frame_ = new RingFrame(control_->window(), outline_);
    frame_->setWidget(control_);
    // A frame placed outside its viewport (the control is about to be scrolled into sight) hides itself and
    // would not show again as the scrolling brings it in.
    if (frame_->widget() == control_ && !frame_->isVisible())
        frame_->show();
}

} // namespace QuilmPrint
