// The recipe inspector as the window shows it, on a laptop's screen: its fields keep their rounded plates and
// padding inside the split window, its menus show every heading they were given once they are open, and its
// driver options open beside their button, inside the window and on the screen.
#include "AppTestSupport.h"
#include "QuilmPrint/panels/DriverSection.h"
#include "QuilmPrint/panels/InspectorControls.h"
#include "QuilmPrint/panels/RecipeInspector.h"
#include "QuilmPrint/shared/Controls.h"
#include "QuilmPrint/shell/ContentView.h"
#include "shared/RecordingDesktop.h"
#include "shared/WindowTestSupport.h"

#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

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

// Opens the chip's menu where the chip opens it, over the window's picture saved as `artifact`, and returns
// the entries it shows, top to bottom: items by title, "[title]" for headings, "-" for dividers. An entry Qt
// hides has no place in the menu; a heading is drawn, not only placed.
QStringList shownEntries(QWidget* view, MenuChip* chip, const QImage& window, const QString& artifact) {
    QMenu* menu = chip->menu();
    menu->popup(chip->mapToGlobal(QPoint(0, chip->height())));
    WindowTest::settle();
    EXPECT_TRUE(menu->isVisible());
    const QImage picture = WindowTest::grab(menu);
    QStringList shown;
    for (QAction* action : menu->actions()) {
        const QRect place = menu->actionGeometry(action);
        if (!action->isVisible() || place.isEmpty())
            continue;
        EXPECT_TRUE(menu->rect().contains(place)) << action->text().toStdString();
        if (!action->isSeparator() || action->text().isEmpty()) {
            shown << (action->isSeparator() ? "-" : action->text());
            continue;
        }
        shown << "[" + action->text() + "]";
        const QColor ground = picture.pixelColor(place.left() + 1, place.center().y());
        int ink = 0;
        for (int y = place.top(); y <= place.bottom(); ++y)
            for (int x = place.left(); x <= place.right(); ++x)
                ink += WindowTest::distance(picture.pixelColor(x, y), ground) > 60;
        EXPECT_GT(ink, 20) << action->text().toStdString();
    }
    WindowTest::saveArtifact(screenPicture(view, window, menu), artifact);
    menu->close();
    return shown;
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
    EXPECT_EQ(
        shownEntries(view.get(), chip, showing(chip), "window-profile-menu"),
        (QStringList{"[이 용지에 추천]", "● SC-P900 Premium Glossy Photo Paper", "[모든 프린터 프로파일]"}));
    // The profile file is gone: the printer has no profile at all, and the menu still opens on its heading.
    std::filesystem::remove(profile);
    AppTestSupport::selectAndWait(*model(), AppTestSupport::p900Queue);
    ASSERT_TRUE(model()->profiles().empty());
    ASSERT_TRUE(model()->recipe()->color.app);
    EXPECT_EQ(get<QLabel>("profileWarning")->text(), "이 용지에 맞는 프로파일을 찾지 못했습니다.");
    EXPECT_EQ(shownEntries(view.get(), chip, showing(chip), "window-profile-menu-no-profiles"),
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
