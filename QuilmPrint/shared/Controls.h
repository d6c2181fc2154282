// The small controls that the main window, the sheet preview and the settings panels share: chip buttons
// (plain and prominent, also as menu buttons), the menu chip label, hairlines, the progress bar, the switch
// row, a spinner, a label that elides, the two text styles, and the symbols, painted in code so that no icon
// theme is needed. Every control paints with the Theme palette; the paint functions take plain inputs so
// that other canvases (and tests) can draw the same pictures.
#pragma once

#include "QuilmPrint/shared/Theme.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QSpinBox>
#include <QWidget>
#include <optional>

class QLabel;
class QPainter;
class QTimer;

namespace QuilmPrint {

// ---- Symbols ----

enum class Symbol {
    plus,
    minus,
    xmark,
    trash,
    chevronDown,
    chevronLeft,
    chevronRight,
    photo,
    photoStack, // photos on an angled sheet: the empty photo list
    printer,
    document,
    folder,
    checkmark,
    checkmarkCircle,
    exclamationTriangle,
    arrowClockwise,
    arrowCounterclockwise,
    arrowDownCircle,
    listBullet,
};

// Draws `symbol` centred in the square that fits `box`, in one colour. `weight` thickens the strokes
// (1 regular, about 1.3 semibold).
void paintSymbol(QPainter& painter, Symbol symbol, const QRectF& box, const QColor& colour,
                 double weight = 1);
// The side of the square a symbol takes next to text of that pixel size.
double symbolSide(double pixels);

// A symbol as a widget, `pixels` being the text size it stands beside.
class SymbolView : public QWidget {
    Q_OBJECT
public:
    SymbolView(Symbol symbol, double pixels, const QColor& colour, QWidget* parent = nullptr);
    void setSymbol(Symbol symbol);
    void setColour(const QColor& colour);
    void setWeight(double weight);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Symbol symbol_;
    double pixels_;
    QColor colour_;
    double weight_ = 1;
};

// ---- Chip buttons ----

// A rounded chip whose label takes the tint; filled chips lie on a light plate and have no outline, unfilled
// ones have an outline and no plate.
struct ChipStyle {
    bool filled = false;
    QColor tint = Theme::inkSecondary();
    int height = 30;
};

// A chip filled with its tint and a white label: the one action that matters most in its place.
struct ProminentChipStyle {
    QColor tint = Theme::active();
    int height = 30;
};

// The label of a menu button: an optional symbol, a one-line text that elides, and a downward chevron.
struct MenuChipLabel {
    std::optional<Symbol> symbol;
    QString text;
    QFont::Weight weight = QFont::Normal;
    Qt::TextElideMode truncation = Qt::ElideRight;
};

QSizeF menuChipLabelSize(const MenuChipLabel& label);
// Paints the label into `rect` (vertically centred), eliding the text to what is left of the width.
void paintMenuChipLabel(QPainter& painter, const QRectF& rect, const MenuChipLabel& label);

// A push button drawn as a chip of either style. It may show a symbol, a symbol and text, a menu chip label
// (with setMenu() it is a menu button), or a spinner while busy.
class ChipButton : public QPushButton {
    Q_OBJECT
public:
    explicit ChipButton(const QString& text = {}, ChipStyle style = {}, QWidget* parent = nullptr);
    ChipButton(const QString& text, ProminentChipStyle style, QWidget* parent = nullptr);

    void setChipStyle(ChipStyle style);
    void setProminentStyle(ProminentChipStyle style);
    bool isProminent() const { return prominent_.has_value(); }

    void setSymbol(std::optional<Symbol> symbol);
    std::optional<Symbol> symbol() const { return symbol_; }
    void setMenuLabel(std::optional<MenuChipLabel> label);
    const std::optional<MenuChipLabel>& menuLabel() const { return menuLabel_; }
    void setBusy(bool busy);
    bool isBusy() const { return busy_; }
    // A spinner in the symbol's place, the text kept: work going on behind what the button opens.
    void setSymbolBusy(bool busy);
    bool isSymbolBusy() const { return symbolBusy_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int chipHeight() const;
    QRectF chipRect() const;
    double padding() const;
    QFont labelFont() const;
    QColor labelColour() const;
    QSizeF contentSize() const;
    void paintContent(QPainter& painter, const QRectF& rect) const;
    void runSpinner();

    ChipStyle chip_;
    std::optional<ProminentChipStyle> prominent_;
    std::optional<Symbol> symbol_;
    std::optional<MenuChipLabel> menuLabel_;
    bool busy_ = false;
    bool symbolBusy_ = false;
    int spinnerPhase_ = 0;
    QTimer* spinnerTimer_ = nullptr;
};

// ---- Separators and bars ----

// A one-pixel line in the hairline colour: 1 wide when vertical, else 1 high.
class Hairline : public QWidget {
    Q_OBJECT
public:
    explicit Hairline(bool vertical = false, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;
};

// A capsule track with a capsule fill as wide as the fraction done (clamped to 0…1).
void paintProgressBar(QPainter& painter, const QRectF& rect, double value, const QColor& tint);

class ProgressBar : public QWidget {
    Q_OBJECT
public:
    explicit ProgressBar(double value = 0, int height = 4, const QColor& tint = Theme::active(),
                         QWidget* parent = nullptr);
    void setValue(double value);
    double value() const { return value_; }
    void setTint(const QColor& tint);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    double value_;
    QColor tint_;
};

// ---- Switch and switch row ----

// A small on/off switch tinted with the active colour. Checkable: `clicked(bool)` tells a user's change,
// `setChecked` changes it silently for the user.
class Switch : public QAbstractButton {
    Q_OBJECT
public:
    explicit Switch(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QRectF trackRect() const;
};

// A title on the left and a switch on the right. `toggled` is emitted only when the user flips the switch;
// `setOn` follows the model without echoing back to it.
class ToggleRow : public QWidget {
    Q_OBJECT
public:
    explicit ToggleRow(const QString& title, QWidget* parent = nullptr);
    bool isOn() const;
    void setOn(bool on);
    void setTitle(const QString& title);
    Switch* toggle() const { return switch_; }

signals:
    void toggled(bool on);

private:
    QLabel* title_;
    Switch* switch_;
};

// ---- Text ----

// A one-line label that elides its text to its width (QLabel cuts it off instead).
class ElidedLabel : public QWidget {
    Q_OBJECT
public:
    explicit ElidedLabel(const QString& text = {}, QWidget* parent = nullptr);
    void setText(const QString& text);
    QString text() const { return text_; }
    // The text as drawn at the present width: whole, or cut with "…".
    QString shownText() const;
    void setColour(const QColor& colour);
    QColor colour() const { return colour_; }
    void setElideMode(Qt::TextElideMode mode);
    void setAlignment(Qt::Alignment alignment);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
    void changeEvent(QEvent* event) override;

private:
    QString text_;
    QColor colour_ = Theme::ink();
    Qt::TextElideMode mode_ = Qt::ElideRight;
    Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignVCenter;
};

namespace TextStyle {
QFont sectionTitleFont(); // 11, semibold, letters spaced 1.4
QFont helperFont();       // 11, regular
// Small section headings: the jobs popover, the driver options list.
void sectionTitle(QLabel* label);
// Help lines under settings: wraps onto as many lines as the width needs.
void helper(QLabel* label);
} // namespace TextStyle

// The text colour of a label (or any widget drawing with its window text colour).
void setTextColour(QWidget* widget, const QColor& colour);

// ---- Number fields ----

// The rounded plate that every number field lies on.
void paintFieldPlate(QPainter& painter, const QRectF& rect);

// A count typed or stepped: its number lies on the number fields' plate, monospaced and aligned right 8 px in
// from the plate's edge, and its step arrows stand beside the plate.
class CountField : public QSpinBox {
    Q_OBJECT
public:
    explicit CountField(QWidget* parent = nullptr);
    // The part of the field drawn as the plate: all of it but the arrows.
    QRect plateRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// ---- Spinner ----

// Twelve spokes, the brightest at `phase` (0…11) and fading behind it.
void paintSpinner(QPainter& painter, const QRectF& rect, int phase, const QColor& colour);

// A small turning spinner; it runs only while shown.
class Spinner : public QWidget {
    Q_OBJECT
public:
    explicit Spinner(int side = 14, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    void setColour(const QColor& colour);

protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    int side_;
    int phase_ = 0;
    QColor colour_ = Theme::inkSecondary();
    QTimer* timer_;
};

} // namespace QuilmPrint
