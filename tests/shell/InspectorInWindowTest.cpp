// The window as a laptop's screen shows it: the inspector's fields and the copies field keep their rounded
// plates and padding inside the split window, the inspector's menus show every heading they were given whole
// once they are open, its driver options open beside their button, inside the window and on the screen, the
// zoomed preview keeps its feed label whole beside its scroll bars, and the control the keyboard focused
// wears a ring.
#include "AppTestSupport.h"
#include "QuilmPrint/panels/DriverSection.h"
#include "QuilmPrint/panels/InspectorControls.h"
#include "QuilmPrint/panels/RecipeInspector.h"
#include "QuilmPrint/shared/Controls.h"
#include "QuilmPrint/shared/FocusRing.h"
#include "QuilmPrint/shell/ContentView.h"
#include "QuilmPrint/window/ActionBar.h"
#include "QuilmPrint/window/SheetPreview.h"
#include "shared/RecordingDesktop.h"
#include "shared/WindowTestSupport.h"

#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <set>

using namespace QuilmPrint;

namespace {

class InspectorInWindowTest : public ::testing::Test {
protected:
    // The window as a laptop shows it, on the photo printer with its whole driver description.
    void open() {
        std::string reason;
        if (!AppTestSupport::printServer(&reason))
            GTEST_SKIP() << reason;
        view = std::make_unique<ContentView>(sandbox.environment());
        view->setGeometry(40, 24, 1280, 720);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        ASSERT_TRUE(AppTestSupport::waitFor([&] { return !model()->isLoadingPrinters(); }));
        AppTestSupport::selectAndWait(*model(), AppTestSupport::p900Queue);
        WindowTest::settle();
        const QRect screen = view->screen()->availableGeometry();
        ASSERT_TRUE(screen.contains(view->geometry())) << "the window does not fit the test screen";
    }
    PrintModel* model() const { return view->model(); }
    template <typename T = QWidget> T* get(const char* name) const {
        return WindowTest::child<T>(view.get(), name);
    }
    // Scrolls the inspector to `widget` and takes a picture of the whole window.
    QImage showing(QWidget* widget) const {
        view->findChild<RecipeInspector*>()->findChild<QScrollArea*>()->ensureWidgetVisible(widget, 0, 40);
        return WindowTest::grab(view.get());
    }
    QRect inWindow(const QWidget* widget) const {
        return {widget->mapTo(view.get(), QPoint(0, 0)), widget->size()};
    }

    AppTestSupport::Sandbox sandbox;
    RecordingDesktop& desktop = RecordingDesktop::install();
    std::unique_ptr<ContentView> view;
};

#define OPEN()                                                                                               \
    open();                                                                                                  \
    if (IsSkipped() || HasFatalFailure())                                                                    \
    return

// Checks one field in the window's picture: outside its rounded corner the panel shows through, inside its
// padding lies the plate, and no text reaches into the padding on either side.
void expectPlate(const QImage& window, const QRect& field, int padding, const char* name) {
    SCOPED_TRACE(name);
    const QColor panel = window.pixelColor(field.center().x(), field.top() - 3);
    const QColor plate = Theme::over(Theme::control(), panel);
    EXPECT_LE(WindowTest::distance(window.pixelColor(field.topLeft()), panel), 2) << "square corner";
    EXPECT_LE(WindowTest::distance(window.pixelColor(field.bottomRight()), panel), 2) << "square corner";
    EXPECT_LE(WindowTest::distance(window.pixelColor(field.left() + 3, field.center().y()), plate), 3);
    EXPECT_LE(WindowTest::distance(window.pixelColor(field.right() - 3, field.center().y()), plate), 3);
    int paddingInk = 0, textInk = 0;
    for (int y = field.top() + 4; y <= field.bottom() - 4; ++y)
        for (int x = field.left(); x <= field.right(); ++x) {
            if (window.pixelColor(x, y).lightness() < plate.lightness() + 60) // not the text's white
                continue;
            const bool inPadding = x < field.left() + padding - 1 || x > field.right() - padding + 1;
            ++(inPadding ? paddingInk : textInk);
        }
    EXPECT_EQ(paddingInk, 0) << "text against the edge";
    EXPECT_GT(textInk, 10) << "no text drawn";
}

// The screen as the user sees it: the window at its place and an open popup window at its own place, which
// may reach beyond the window.
QImage screenPicture(QWidget* view, const QImage& window, QWidget* popup) {
    QImage screen(view->screen()->geometry().size(), QImage::Format_ARGB32);
    screen.fill(QColor(72, 74, 80));
    QPainter painter(&screen);
    painter.drawImage(view->geometry().topLeft(), window);
    painter.drawImage(popup->geometry().topLeft(), WindowTest::grab(popup));
    return screen;
}

// The first and last columns of `row` in which the picture differs from its ground, the row's first pixel.
std::pair<int, int> inkColumns(const QImage& picture, const QRect& row, int threshold) {
    const QColor ground = picture.pixelColor(row.left() + 1, row.center().y());
    int first = -1, last = -1;
    for (int x = row.left(); x <= row.right(); ++x)
        for (int y = row.top(); y <= row.bottom(); ++y)
            if (WindowTest::distance(picture.pixelColor(x, y), ground) > threshold) {
                first = first < 0 ? x : first;
                last = x;
                break;
            }
    return {first, last};
}

// Opens the chip's menu where the chip opens it, over the window's picture saved as `artifact`, and returns
// the entries it shows, top to bottom: items by title, "[title]" for headings, "-" for dividers. An entry Qt
// hides has no place in the menu. A heading is drawn whole: its text as wide as the font sets it, starting
// where the entries' text starts (`entryInset`, measured here when the menu has entries) and ending clear of
// the menu's right edge.
QStringList shownEntries(QWidget* view, MenuChip* chip, const QImage& window, const QString& artifact,
                         std::optional<int>& entryInset) {
    QMenu* menu = chip->menu();
    menu->popup(chip->mapToGlobal(QPoint(0, chip->height())));
    WindowTest::settle();
    EXPECT_TRUE(menu->isVisible());
    const QImage picture = WindowTest::grab(menu);
    QStringList shown;
    std::vector<QAction*> headings;
    for (QAction* action : menu->actions()) {
        const QRect place = menu->actionGeometry(action);
        if (!action->isVisible() || place.isEmpty())
            continue;
        EXPECT_TRUE(menu->rect().contains(place)) << action->text().toStdString();
        if (!action->isSeparator()) {
            shown << action->text();
            entryInset = inkColumns(picture, place, 60).first;
        } else if (action->text().isEmpty()) {
            shown << "-";
        } else {
            shown << "[" + action->text() + "]";
            headings.push_back(action);
        }
    }
    for (QAction* heading : headings) {
        SCOPED_TRACE(heading->text().toStdString());
        const auto [first, last] = inkColumns(picture, menu->actionGeometry(heading), 40);
        const double text = QFontMetricsF(menu->font()).horizontalAdvance(heading->text());
        EXPECT_TRUE(entryInset.has_value());
        if (!entryInset)
            break;
        EXPECT_NEAR(first, *entryInset, 1) << "the heading starts apart from the entries";
        EXPECT_GE(last - first + 1, text - 3) << "the heading is cut short";
        EXPECT_GE(menu->width(), *entryInset + text + 8) << "the menu is narrower than its heading";
    }
    WindowTest::saveArtifact(screenPicture(view, window, menu), artifact);
    menu->close();
    return shown;
}

// How many sides of `control` show the accent colour in the middle of the ring's band, and whether the ground
// just outside each side is still the ground of `without`, the same place without the ring. -1: the band is
// not all in the picture.
int ringSides(const QImage& with, const QImage& without, const QRect& control, bool* groundKept = nullptr) {
    const int band = int(FocusRing::gap + FocusRing::width / 2) + 1;
    if (!with.rect().contains(control.adjusted(-band, -band, band, band)))
        return -1;
    const QPoint c = control.center();
    const std::pair<QPoint, QPoint> edges[] = {{{control.left(), c.y()}, {-1, 0}},
                                               {{control.right(), c.y()}, {1, 0}},
                                               {{c.x(), control.top()}, {0, -1}},
                                               {{c.x(), control.bottom()}, {0, 1}}};
    int sides = 0;
    for (const auto& [edge, out] : edges) {
        sides += WindowTest::distance(with.pixelColor(edge + out * band), Theme::active()) <= 10;
        // A faint trace where the ring's curve comes nearest is its antialiasing, not the ring.
        if (groundKept &&
            WindowTest::distance(with.pixelColor(edge + out), without.pixelColor(edge + out)) > 16)
            *groundKept = false;
    }
    return sides;
}

// Whether every pixel within `control`'s rounded shape is the same in both pictures.
bool sameInside(const QImage& a, const QImage& b, const QRect& control, double radius) {
    QPainterPath shape;
    shape.addRoundedRect(QRectF(control), radius, radius);
    for (int y = control.top(); y <= control.bottom(); ++y)
        for (int x = control.left(); x <= control.right(); ++x)
            if (shape.contains(QPointF(x + 0.5, y + 0.5)) && a.pixel(x, y) != b.pixel(x, y))
                return false;
    return true;
}

} // namespace

TEST_F(InspectorInWindowTest, FieldsKeepTheirRoundedPlatesAndPaddingInsideTheSplitWindow) {
    OPEN();
    // Nothing in the window is drawn by a style sheet's style, which would replace the fields' own painting.
    for (QWidget* widget : view->findChildren<QWidget*>())
        EXPECT_EQ(widget->style(), QApplication::style())
            << widget->metaObject()->className() << " " << widget->objectName().toStdString();

    // Each field in a picture of the window scrolled to it; the picture of the last one.
    auto check = [&](std::initializer_list<const char*> names, int padding) {
        QImage window;
        for (const char* name : names) {
            QLineEdit* field = get<QLineEdit>(name);
            field->clearFocus(); // no cursor in the picture
            window = showing(field);
            expectPlate(window, inWindow(field), padding, name);
        }
        // Every section is as tall as its rows need at its width, so no row is squeezed over the next.
        for (InspectorSection* section : view->findChildren<InspectorSection*>()) {
            if (section->isVisible() && section->hasHeightForWidth()) {
                EXPECT_GE(section->height(), section->heightForWidth(section->width()))
                    << section->title().toStdString();
            }
        }
        return window;
    };
    check({"recipeName"}, 9);
    check({"margin"}, 8);
    model()->chooseCustomSheet(PrintKit::CustomSheetSize::fromMillimetres(100, 148));
    check({"customWidth", "customHeight"}, 8);
    model()->setPhotosPerSheet(PhotosPerSheet::one);
    model()->setLayoutMode(LayoutMode::exact);
    WindowTest::saveArtifact(check({"exactWidth", "exactHeight"}, 8), "window-inspector-fields");
    model()->setPhotosPerSheet(PhotosPerSheet::many);
    WindowTest::saveArtifact(check({"cellWidth", "cellHeight", "gap"}, 8), "window-inspector-grid-fields");
    // The copies field under the preview lies on the same plate, its arrows beside it.
    CountField* copies = view->findChild<ActionBar*>()->copiesBox();
    copies->setValue(12);
    copies->clearFocus();
    const QRect plate(copies->mapTo(view.get(), copies->plateRect().topLeft()), copies->plateRect().size());
    const QImage window = WindowTest::grab(view.get());
    expectPlate(window, plate, 8, "copies");
    EXPECT_LE(plate.width(), copies->width() - 10) << "no room for the arrows";
    WindowTest::saveArtifact(window.copy(plate.adjusted(-90, -12, 60, 12)), "window-copies-field");
}

TEST_F(InspectorInWindowTest, TheOpenProfileMenuKeepsItsHeadingWithNothingLeftToListUnderIt) {
    const std::filesystem::path profile =
        sandbox.addProfile("P900 Glossy.icc", "SC-P900 Premium Glossy Photo Paper");
    OPEN();
    model()->setMedia("PGPP");
    model()->setAppManagedColor(true);
    ASSERT_TRUE(model()->recipe()->color.app);
    // The printer's only profile is the suggestion: the second heading ends the menu, with no item under it.
    MenuChip* chip = get<MenuChip>("profile");
    std::optional<int> entryInset;
    EXPECT_EQ(
        shownEntries(view.get(), chip, showing(chip), "window-profile-menu", entryInset),
        (QStringList{"[이 용지에 추천]", "● SC-P900 Premium Glossy Photo Paper", "[모든 프린터 프로파일]"}));
    // The profile file is gone: the printer has no profile at all, and the menu still opens on its heading.
    std::filesystem::remove(profile);
    AppTestSupport::selectAndWait(*model(), AppTestSupport::p900Queue);
    ASSERT_TRUE(model()->profiles().empty());
    ASSERT_TRUE(model()->recipe()->color.app);
    EXPECT_EQ(get<QLabel>("profileWarning")->text(), "이 용지에 맞는 프로파일을 찾지 못했습니다.");
    EXPECT_EQ(shownEntries(view.get(), chip, showing(chip), "window-profile-menu-no-profiles", entryInset),
              QStringList{"[모든 프린터 프로파일]"});
}

TEST_F(InspectorInWindowTest, DriverOptionsOpenBesideTheirButtonInsideTheWindowAndOnTheScreen) {
    OPEN();
    ChipButton* button = get<ChipButton>("showDriverOptions");
    QImage window = showing(button); // the section is the inspector's last: the button is near the bottom
    ASSERT_GT(inWindow(button).top(), view->height() - 100);
    QTest::mouseClick(button, Qt::LeftButton);
    DriverOptionsList* list = view->findChild<DriverSection*>()->optionsList();
    ASSERT_TRUE(list->isVisible());
    const QRect frame = list->geometry();
    EXPECT_EQ(frame.size(), QSize(520, 460)); // the window has room for all of it
    EXPECT_TRUE(view->geometry().contains(frame)) << "beyond the window";
    EXPECT_TRUE(view->screen()->availableGeometry().contains(frame)) << "beyond the screen";
    EXPECT_EQ(frame.right() + 1 + 6, button->mapToGlobal(QPoint(0, 0)).x()); // on the button's leading side
    WindowTest::saveArtifact(screenPicture(view.get(), window, list), "window-driver-options");
    list->close();
}

TEST_F(InspectorInWindowTest, TheZoomedPreviewKeepsItsFeedLabelWholeBesideItsScrollBars) {
    OPEN();
    // A wide photo turns the canvas: its label is the longer left-edge wording.
    const std::filesystem::path photo = sandbox.photoFolder() / "wide.jpg";
    TestSupport::writeFile(photo, AppTestSupport::plainJpeg(600, 400));
    AppTestSupport::addAndWait(*model(), {photo});
    SheetPreview* preview = view->findChild<SheetPreview*>();
    QScrollArea* scroll = preview->scrollArea();
    const QString label = "◀ 왼쪽이 먼저 들어가는 쪽 · 폭 209.9mm";
    const double text = QFontMetricsF(Theme::font(10)).horizontalAdvance(label);
    for (const double zoom : {2.0, 4.0}) {
        for (const bool scrolledRight : {false, true}) {
            SCOPED_TRACE(std::to_string(zoom) + (scrolledRight ? " scrolled right" : " scrolled left"));
            preview->setZoom(zoom);
            WindowTest::settle();
            scroll->verticalScrollBar()->setValue(0);
            scroll->horizontalScrollBar()->setValue(scrolledRight ? scroll->horizontalScrollBar()->maximum()
                                                                  : 0);
            QScrollBar* bar = scroll->verticalScrollBar();
            ASSERT_TRUE(bar->isVisible() && scroll->horizontalScrollBar()->isVisible());
            const QImage window = WindowTest::grab(view.get());
            // The label's band, from the viewport's left edge to the vertical scroll bar.
            const int sheetTop =
                preview->canvas()->mapTo(view.get(), preview->geometry().origin().toPoint()).y();
            const int left = scroll->viewport()->mapTo(view.get(), QPoint(0, 0)).x();
            const int barLeft = bar->mapTo(view.get(), QPoint(0, 0)).x();
            const auto [first, last] =
                inkColumns(window,
                           QRect(QPoint(left, sheetTop - int(SheetGeometry::labelBand)),
                                 QPoint(barLeft - 1, sheetTop - 2)),
                           40);
            ASSERT_GE(first, 0) << "no label in view";
            EXPECT_GE(first, left + 1);
            EXPECT_LE(last, barLeft - 2) << "under the scroll bar";
            EXPECT_GE(last - first + 1, text - 3) << "the label is cut short";
            WindowTest::saveArtifact(
                window, QString("window-preview-zoom-%1%2").arg(zoom).arg(scrolledRight ? "-scrolled" : ""));
        }
    }
}

TEST_F(InspectorInWindowTest, TheKeyboardsFocusWearsARingOutsideTheControlThatAMousePressPutsAway) {
    OPEN();
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    // Tab on from the name field; each control the focus reaches, with its ring and with the focus taken
    // away.
    QWidget* control = get("recipeName");
    control->setFocus();
    std::set<std::string> kinds;
    for (int step = 0; step < 40 && kinds.size() < 3; ++step) {
        QWidget* left = control;
        QTest::keyClick(left, Qt::Key_Tab);
        control = QApplication::focusWidget();
        const QImage with = WindowTest::grab(view.get());
        EXPECT_LE(ringSides(with, with, inWindow(left)), 0) << "the ring stays behind";
        const bool chip = qobject_cast<ChipButton*>(control);
        if (!chip && !qobject_cast<Switch*>(control))
            continue;
        SCOPED_TRACE(control->metaObject()->className() + (" " + control->objectName().toStdString()));
        control->clearFocus();
        const QImage without = WindowTest::grab(view.get());
        control->setFocus(Qt::TabFocusReason);
        const QRect place = inWindow(control);
        bool groundKept = true;
        EXPECT_EQ(ringSides(with, without, place, &groundKept), 4) << "no ring around the focused control";
        EXPECT_TRUE(groundKept) << "the ring touches the control";
        EXPECT_EQ(ringSides(without, without, place), 0);
        EXPECT_TRUE(sameInside(with, without, place, chip ? 8 : place.height() / 2.0));
        if (kinds.empty())
            WindowTest::saveArtifact(with.copy(inWindow(view->findChild<RecipeInspector*>())),
                                     "window-inspector-focus-ring");
        kinds.insert(qobject_cast<MenuChip*>(control) ? "menu chip" : chip ? "chip" : "switch");
    }
    EXPECT_EQ(kinds, (std::set<std::string>{"chip", "menu chip", "switch"}));

    // The ring leaves with the focus for an open menu and comes back with it; a mouse press puts it away.
    auto sides = [&](QWidget* control) {
        const QImage picture = showing(control);
        return ringSides(picture, picture, inWindow(control));
    };
    MenuChip* menuChip = get<MenuChip>("media");
    menuChip->setFocus(Qt::BacktabFocusReason);
    ASSERT_EQ(sides(menuChip), 4);
    menuChip->menu()->popup(menuChip->mapToGlobal(QPoint(0, menuChip->height())));
    EXPECT_EQ(sides(menuChip), 0) << "a ring under the open menu";
    menuChip->menu()->close();
    EXPECT_EQ(sides(menuChip), 4) << "the ring did not come back";
    ChipButton* chip = get<ChipRow>("quality")->chip(0);
    chip->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(sides(chip), 4);
    QTest::mousePress(chip, Qt::LeftButton);
    EXPECT_EQ(sides(chip), 0) << "the ring stays after a mouse press";
    EXPECT_TRUE(chip->hasFocus());
    QTest::mouseRelease(chip, Qt::LeftButton);
    // A click that hides the focused control has Qt pass the focus on as Tab would: still no ring.
    chip->hide();
    QWidget* next = QApplication::focusWidget();
    ASSERT_TRUE(next && next != chip);
    EXPECT_LE(sides(next), 0) << "a ring after a click";
    chip->show();
}
