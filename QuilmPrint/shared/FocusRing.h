// The ring in the accent colour around a control that the keyboard gave the focus, so that a keyboard user
// sees where the next key goes. An overlay draws it just outside the control's rounded shape, leaving the
// control's own picture, size and layout as they are; a control that never gets the focus from the keyboard
// never has an overlay.
#pragma once

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <functional>

class QFocusFrame;
class QWidget;

namespace QuilmPrint {

// The rounded rectangle a ring goes around, in the control's coordinates.
struct RingOutline {
    QRectF rect;
    double radius = 0;
};

// Shows the ring while the control has the focus and the focus came from the keyboard (Tab, Backtab, a
// shortcut, the last press being a key's). A mouse press on the control puts the ring away, the focus
// staying. A menu opening over the control or another window becoming active takes the ring along with the
// focus, and gives it back with it.
class FocusRing : public QObject {
    Q_OBJECT
public:
    using Outline = std::function<RingOutline(const QWidget& control)>;

    // Rings `control` from now on; the ring belongs to the control and goes with it. `outline` is asked at
    // every paint, so it may follow the control's size.
    static void attach(QWidget* control, Outline outline);

    // The rings' measures: the ground left between the control's edge and the ring, and the ring's width.
    static constexpr double gap = 1;
    static constexpr double width = 2;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FocusRing(QWidget* control, Outline outline);
    ~FocusRing() override;
    void place();

    QWidget* control_;
    Outline outline_;
    QPointer<QFocusFrame> frame_; // made the first time the ring shows; its parent may take it first
    bool fromKeyboard_ = false;   // the focus came from the keyboard and no mouse press has put the ring away
    bool focused_ = false;        // between the control's focus-in and focus-out
};

} // namespace QuilmPrint
