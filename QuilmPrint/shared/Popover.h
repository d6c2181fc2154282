// Where a popover goes when a button opens it: on the side its view asks for when there is room there, else
// on the other side, and always on the screen. It stays inside the window whenever the window can hold it, so
// a list opened near the window's bottom edge does not hang below it. A popover taller than the room it gets
// is cut to that room and its list scrolls.
#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace QuilmPrint::Popover {

enum class Side {
    leading, // beside the button on its left, centred on it; on its right when the left has no room
    above,   // over the button, right edges in line; under it when there is no room above
};

// Between the button and the popover.
inline constexpr int gap = 6;

// The frame of a popover of size `wanted` opened from `anchor` (a button's frame), with `screen` the free
// area of the button's screen and `window` the frame of its window (empty for none), all in screen
// coordinates.
QRect frame(QSize wanted, const QRect& anchor, const QRect& screen, const QRect& window, Side side);

// The same for a button on the screen: its frame, its screen's available area and its window.
QRect frameFor(const QWidget* anchor, QSize wanted, Side side);

} // namespace QuilmPrint::Popover
