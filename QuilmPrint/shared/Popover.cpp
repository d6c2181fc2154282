#include "QuilmPrint/shared/Popover.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace QuilmPrint::Popover {

namespace {

// The start of a span of `length` at `wanted`, moved as little as possible to lie within [low, high); a
// span longer than the room starts at `low`.
int within(int wanted, int length, int low, int high) {
    return std::max(low, std::min(wanted, high - length));
}

} // namespace

QRect frame(QSize wanted, const QRect& anchor, const QRect& screen, const QRect& window, Side side) {
    QRect room = screen;
    const QRect inner = window.intersected(screen);
    if (!window.isEmpty() && inner.width() >= wanted.width() && inner.height() >= wanted.height())
        room = inner;
    const int left = room.x(), right = room.x() + room.width();
    const int top = room.y(), bottom = room.y() + room.height();
    const int anchorRight = anchor.x() + anchor.width(), anchorBottom = anchor.y() + anchor.height();
    int width = std::min(wanted.width(), room.width());
    int height = std::min(wanted.height(), room.height());

    int x = 0, y = 0;
    switch (side) {
    case Side::leading: {
        x = anchor.x() - gap - width;
        if (x < left)
            x = anchorRight + gap;
        x = within(x, width, left, right);
        y = within(anchor.y() + anchor.height() / 2 - height / 2, height, top, bottom);
        break;
    }
    case Side::above: {
        x = within(anchorRight - width, width, left, right);
        const int roomAbove = anchor.y() - gap - top, roomBelow = bottom - anchorBottom - gap;
        if (height <= roomAbove) {
            y = anchor.y() - gap - height;
        } else if (height <= roomBelow) {
            y = anchorBottom + gap;
        } else if (roomAbove >= roomBelow) {
            // Neither side holds it: the larger one does, and the list scrolls.
            height = std::max(roomAbove, 0);
            y = anchor.y() - gap - height;
        } else {
            height = std::max(roomBelow, 0);
            y = anchorBottom + gap;
        }
        break;
    }
    }
    return {x, y, width, height};
}

QRect frameFor(const QWidget* anchor, QSize wanted, Side side) {
    const QRect button(anchor->mapToGlobal(QPoint(0, 0)), anchor->size());
    const QScreen* screen = anchor->screen();
    if (!screen)
        return {button.topLeft(), wanted};
    const QWidget* window = anchor->window();
    return frame(wanted, button, screen->availableGeometry(), window != anchor ? window->geometry() : QRect(),
                 side);
}

} // namespace QuilmPrint::Popover
