// The program's symbol: a photograph printed on a sheet coming out of a printer, on a dark tile. Painted in
// code, so the window's icon and the desktop's icon files (made from it when the program is built) are one
// drawing at every size.
#pragma once

#include <QIcon>
#include <QImage>
#include <array>

namespace QuilmPrint::AppIcon {

// The sizes the desktop's icon theme keeps the symbol at, in pixels.
inline constexpr std::array<int, 7> sizes{16, 24, 32, 48, 64, 128, 256};

// The symbol on a transparent square of `side` pixels. Needs no application object.
QImage paint(int side);

// The symbol at every size of `sizes`, for a window.
QIcon icon();

} // namespace QuilmPrint::AppIcon
