#include "AppTestSupport.h"
#include "QuilmPrint/window/ActionBar.h"
#include "QuilmPrint/window/ContentView.h"
#include "QuilmPrint/window/Controls.h"
#include "RecordingDesktop.h"
#include "WindowTestSupport.h"

#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

using namespace QuilmPrint;

namespace {

QStringList titles(QMenu* menu) {
    emit menu->aboutToShow();
    QStringList result;
    for (QAction* action : menu->actions())
        result << (action->isSeparator() ? QStringLiteral("—") : action->text());
    return result;
}

QAction* entry(QMenu* menu, const QString& text) {
    emit menu->aboutToShow();
    for (QAction* action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

// A shown main view on the private CUPS server with the photo printer selected.
class HeaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string reason;
        if (!AppTestSupport::printServer(&reason))
            GTEST_SKIP() << reason;
        view = std::make_unique<ContentView>(sandbox.environment());
        view->resize(1280, 780);
        view->show();
        view->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
        ASSERT_TRUE(AppTestSupport::waitFor([&] { return !model()->isLoadingPrinters(); }));
        AppTestSupport::selectAndWait(*model(), AppTestSupport::p900Queue);
        QApplication::processEvents();
    }

    PrintModel* model() const { return view->model(); }

    RecordingDesktop& desktop = RecordingDesktop::install();
    AppTestSupport::Sandbox sandbox;
    std::unique_ptr<ContentView> view;
};

} // namespace

TEST_F(HeaderTest, PrinterMenuListsTheQueuesMarksTheChosenOneAndEndsWithConnect) {
    const QStringList menu = titles(view->printerMenu());
    ASSERT_GE(menu.size(), 3);
    EXPECT_EQ(menu.back(), "프린터 연결…");
    EXPECT_EQ(menu[menu.size() - 2], "—");
    int checked = 0;
    for (QAction* action : view->printerMenu()->actions()) {
        if (action->isChecked()) {
            ++checked;
            EXPECT_TRUE(action->text().contains(AppTestSupport::p900Queue)) << action->text().toStdString();
        }
    }
    EXPECT_EQ(checked, 1);
    EXPECT_EQ(view->printerMenuButton()->menuLabel()->text,
              QString::fromStdString(model()->selectedPrinter()->name()));

    // Choosing another queue from the menu selects it.
    QAction* office = nullptr;
    for (QAction* action : view->printerMenu()->actions())
        if (action->text().contains("TestbedPhoto"))
            office = action;
    ASSERT_TRUE(office);
    office->trigger();
    EXPECT_EQ(model()->printerID(), std::optional<std::string>("TestbedPhoto"));
}

TEST_F(HeaderTest, NewRecipeIsSavedWithTheShortcutRenamedAndDeletedAfterConfirmation) {
    QAction* create = entry(view->recipeMenu(), "새 레시피");
    ASSERT_TRUE(create);
    create->trigger();
    QApplication::processEvents();
    ASSERT_TRUE(model()->recipe());
    EXPECT_FALSE(model()->savedRecipe());
    EXPECT_TRUE(view->saveButton()->isEnabled());
    EXPECT_FALSE(entry(view->recipeMenu(), "삭제…")->isEnabled()); // nothing stored to delete yet

    QTest::keyClick(view.get(), Qt::Key_S, Qt::ControlModifier);
    QApplication::processEvents();
    ASSERT_TRUE(model()->savedRecipe());
    EXPECT_FALSE(view->saveButton()->isEnabled());
    const QString name = QString::fromStdString(model()->recipe()->name);
    QAction* listed = entry(view->recipeMenu(), name);
    ASSERT_TRUE(listed);
    EXPECT_TRUE(listed->isChecked());

    entry(view->recipeMenu(), "이름 바꾸기…")->trigger();
    ASSERT_TRUE(view->nameSheet() && view->nameSheet()->isVisible());
    EXPECT_EQ(view->nameField()->text(), name);
    // QTest types ASCII only: the Korean name goes in as an input method would commit it.
    view->nameField()->setText("바리타 310");
    QTest::keyClick(view->nameField(), Qt::Key_Return);
    EXPECT_EQ(model()->recipe()->name, "바리타 310");
    QApplication::processEvents();
    EXPECT_TRUE(view->saveButton()->isEnabled());
    EXPECT_EQ(view->recipeMenuButton()->menuLabel()->text, "바리타 310");

    desktop.confirmations = {false};
    entry(view->recipeMenu(), "삭제…")->trigger();
    ASSERT_EQ(desktop.asked.size(), 1u);
    EXPECT_EQ(desktop.asked[0].accept, "삭제");
    EXPECT_TRUE(model()->savedRecipe());
    desktop.confirmations = {true};
    entry(view->recipeMenu(), "삭제…")->trigger();
    EXPECT_FALSE(model()->savedRecipe());
}

TEST_F(HeaderTest, ActionBarTellsWhatWillPrintAndExportsIntoTheChosenFolder) {
    const std::filesystem::path photo = sandbox.photoFolder() / "한강.jpg";
    TestSupport::writeFile(photo, AppTestSupport::plainJpeg(300, 200));
    AppTestSupport::addAndWait(*model(), {photo});
    ActionBar* bar = view->actionBar();
    ASSERT_TRUE(AppTestSupport::waitFor([&] { return bar->printButton()->isEnabled(); }, 5000))
        << bar->statusText().toStdString();
    EXPECT_EQ(bar->statusText(), "1장 · " + QString::fromStdString(model()->selectedPrinter()->name()));
    EXPECT_EQ(bar->statusColour(), Theme::inkSecondary());

    bar->copiesBox()->setValue(3);
    EXPECT_EQ(model()->copies(), 3);
    QApplication::processEvents();
    EXPECT_TRUE(bar->statusText().startsWith("1장 × 3부 · "));
    bar->copiesBox()->setValue(1);

    const std::filesystem::path folder = sandbox.root() / "export";
    std::filesystem::create_directories(folder);
    desktop.folder = folder;
    QTest::mouseClick(bar->exportButton(), Qt::LeftButton);
    ASSERT_EQ(desktop.asked.size(), 1u);
    EXPECT_EQ(desktop.asked[0].kind, "folder");
    EXPECT_TRUE(AppTestSupport::waitFor([&] {
        for (const auto& file : std::filesystem::directory_iterator(folder))
            if (file.path().extension() == ".pdf")
                return true;
        return false;
    }));

    // Without a photo, nothing to print is no fault: said in the quiet colour, and printing is off.
    model()->removeAllPhotos();
    QApplication::processEvents();
    EXPECT_FALSE(bar->printButton()->isEnabled());
    EXPECT_EQ(bar->statusColour(), Theme::inkTertiary());
}
