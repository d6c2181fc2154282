#include "QuilmPrint/shared/Theme.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QProxyStyle>
#include <QScreen>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>

namespace QuilmPrint::Theme {

namespace {

QColor rgb(int r, int g, int b) {
    return QColor(r, g, b);
}
QColor white(double opacity) {
    return QColor::fromRgbF(1, 1, 1, float(opacity));
}
QColor black(double opacity) {
    return QColor::fromRgbF(0, 0, 0, float(opacity));
}

double logicalDpi() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    return dpi > 0 ? dpi : 96.0;
}

QFont sized(QFont font, double pixels, QFont::Weight weight) {
    // Point sizes keep fractions that pixel sizes would round away.
    font.setPointSizeF(pixels * 72.0 / logicalDpi());
    font.setWeight(weight);
    return font;
}

// Fusion draws a menu's section heading a few pixels from the menu's edge, apart from the entries, and leaves
// its text out of the menu's width, so a menu with a long heading and short entries (or none) cuts the
// heading off. Here a heading is laid out and drawn as an entry that cannot be chosen: the same left inset
// and height as the entries, as wide as its text needs, in the dimmed ink of the window's other section
// titles.
class MenuHeadingStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        const auto* item = heading(type == CT_MenuItem, option);
        if (!item)
            return QProxyStyle::sizeFromContents(type, option, size, widget);
        const QStyleOptionMenuItem entry = asEntry(*item);
        const QSize text = item->fontMetrics.size(Qt::TextSingleLine | Qt::TextShowMnemonic, item->text);
        return QProxyStyle::sizeFromContents(type, &entry, text, widget);
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        if (const auto* item = heading(element == CE_MenuItem, option)) {
            const QStyleOptionMenuItem entry = asEntry(*item);
            QProxyStyle::drawControl(element, &entry, painter, widget);
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

private:
    static const QStyleOptionMenuItem* heading(bool menuItem, const QStyleOption* option) {
        const auto* item = menuItem ? qstyleoption_cast<const QStyleOptionMenuItem*>(option) : nullptr;
        return item && item->menuItemType == QStyleOptionMenuItem::Separator && !item->text.isEmpty()
                   ? item
                   : nullptr;
    }
    static QStyleOptionMenuItem asEntry(const QStyleOptionMenuItem& heading) {
        QStyleOptionMenuItem entry = heading;
        entry.menuItemType = QStyleOptionMenuItem::Normal;
        entry.checkType = QStyleOptionMenuItem::NotCheckable;
        entry.state &= ~(QStyle::State_Enabled | QStyle::State_Selected | QStyle::State_Sunken);
        entry.palette.setCurrentColorGroup(QPalette::Disabled);
        return entry;
    }
};

} // namespace

const QColor& base() {
    static const QColor colour = rgb(26, 26, 29);
    return colour;
}
const QColor& sunken() {
    static const QColor colour = black(0.18);
    return colour;
}
const QColor& panel() {
    static const QColor colour = white(0.045);
    return colour;
}
const QColor& panelHover() {
    static const QColor colour = white(0.07);
    return colour;
}
const QColor& control() {
    static const QColor colour = white(0.09);
    return colour;
}
const QColor& controlActive() {
    static const QColor colour = white(0.14);
    return colour;
}
const QColor& ink() {
    static const QColor colour = white(1);
    return colour;
}
const QColor& inkSecondary() {
    static const QColor colour = white(0.62);
    return colour;
}
const QColor& inkTertiary() {
    static const QColor colour = white(0.38);
    return colour;
}
const QColor& inkQuaternary() {
    static const QColor colour = white(0.24);
    return colour;
}
const QColor& hairline() {
    static const QColor colour = white(0.09);
    return colour;
}
const QColor& border() {
    static const QColor colour = white(0.14);
    return colour;
}
const QColor& active() {
    static const QColor colour = rgb(10, 132, 255);
    return colour;
}
const QColor& good() {
    static const QColor colour = rgb(48, 209, 88);
    return colour;
}
const QColor& warn() {
    static const QColor colour = rgb(255, 159, 10);
    return colour;
}
const QColor& stop() {
    static const QColor colour = rgb(255, 69, 58);
    return colour;
}

QLinearGradient windowGradient(const QRectF& rect) {
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    gradient.setColorAt(0.0, rgb(35, 35, 39));
    gradient.setColorAt(0.5, rgb(25, 25, 28));
    gradient.setColorAt(1.0, rgb(21, 21, 23));
    return gradient;
}

QColor over(const QColor& top, const QColor& under) {
    const float a = top.alphaF();
    auto mix = [a](float t, float u) { return t * a + u * (1 - a); };
    return QColor::fromRgbF(mix(top.redF(), under.redF()), mix(top.greenF(), under.greenF()),
                            mix(top.blueF(), under.blueF()), 1);
}

QString fontFamily() {
    return QStringLiteral("Noto Sans CJK KR");
}

QFont font(double pixels, QFont::Weight weight) {
    return sized(QFont(fontFamily()), pixels, weight);
}

QFont monospacedFont(double pixels, QFont::Weight weight) {
    return sized(QFontDatabase::systemFont(QFontDatabase::FixedFont), pixels, weight);
}

QPalette palette() {
    QPalette p;
    const QColor window = base();
    const QColor field = over(sunken(), window);
    const QColor button = over(control(), window);
    const QColor text = ink();
    const QColor dimText = over(inkTertiary(), window);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool disabled = group == QPalette::Disabled;
        p.setColor(group, QPalette::Window, window);
        p.setColor(group, QPalette::WindowText, disabled ? dimText : text);
        p.setColor(group, QPalette::Base, field);
        p.setColor(group, QPalette::AlternateBase, over(panel(), window));
        p.setColor(group, QPalette::Text, disabled ? dimText : text);
        p.setColor(group, QPalette::Button, button);
        p.setColor(group, QPalette::ButtonText, disabled ? dimText : text);
        p.setColor(group, QPalette::BrightText, Qt::white);
        p.setColor(group, QPalette::Highlight, disabled ? button : active());
        p.setColor(group, QPalette::HighlightedText, Qt::white);
        p.setColor(group, QPalette::ToolTipBase, over(controlActive(), window));
        p.setColor(group, QPalette::ToolTipText, text);
        p.setColor(group, QPalette::PlaceholderText, dimText);
        p.setColor(group, QPalette::Link, active());
        p.setColor(group, QPalette::LinkVisited, active());
        p.setColor(group, QPalette::Light, over(border(), window));
        p.setColor(group, QPalette::Midlight, over(controlActive(), window));
        p.setColor(group, QPalette::Mid, over(hairline(), window));
        p.setColor(group, QPalette::Dark, field);
        p.setColor(group, QPalette::Shadow, Qt::black);
    }
    return p;
}

void apply(QApplication& application) {
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(new MenuHeadingStyle(style));
    QApplication::setPalette(palette());
    application.setFont(font(13));
}

} // namespace QuilmPrint::Theme
