// The one colour palette of the windows, their fonts, and the Fusion palette built from them. The palette is
// dark and fixed: it does not follow the desktop's light or dark setting, so every machine shows the same
// window. Neutral colours are white or black at a fixed opacity, drawn over whatever lies beneath them.
#pragma once

#include <QColor>
#include <QFont>
#include <QLinearGradient>
#include <QPalette>
#include <QRectF>
#include <QString>

class QApplication;

namespace QuilmPrint::Theme {

const QColor& base();          // opaque window colour
const QColor& sunken();        // black at 0.18
const QColor& panel();         // white at 0.045
const QColor& panelHover();    // white at 0.07
const QColor& control();       // white at 0.09
const QColor& controlActive(); // white at 0.14
const QColor& ink();           // white
const QColor& inkSecondary();  // white at 0.62
const QColor& inkTertiary();   // white at 0.38
const QColor& inkQuaternary(); // white at 0.24
const QColor& hairline();      // white at 0.09
const QColor& border();        // white at 0.14
const QColor& active();
const QColor& good();
const QColor& warn();
const QColor& stop();

// The background of a window, top to bottom across `rect`.
QLinearGradient windowGradient(const QRectF& rect);

// `top` composited over the opaque `under`: for places that need an opaque colour, such as the Fusion
// palette.
QColor over(const QColor& top, const QColor& under = base());

// The family that carries Korean glyphs; without it every label shows empty boxes.
QString fontFamily();
// Sizes are logical pixels (12.5 stays 12.5), independent of the screen's DPI.
QFont font(double pixels, QFont::Weight weight = QFont::Normal);
QFont monospacedFont(double pixels, QFont::Weight weight = QFont::Normal);

QPalette palette();
// Fusion style, the palette and the application font, for the whole process.
void apply(QApplication& application);

} // namespace QuilmPrint::Theme
