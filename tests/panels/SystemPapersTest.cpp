// The print dialog's custom paper sizes in the inspector's sheet menu: read from the user's configuration
// folder once per run, offered under their own heading, and chosen as the recipe's custom sheet.
#include "AppTestSupport.h"
#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/panels/InspectorControls.h"
#include "QuilmPrint/panels/RecipeInspector.h"
#include "shared/WindowTestSupport.h"

#include <QMenu>
#include <gtest/gtest.h>

using namespace QuilmPrint;

namespace {

// Items by title, "[title]" for headed sections, "-" for dividers.
QStringList titles(MenuChip* chip) {
    emit chip->menu()->aboutToShow();
    QStringList shown;
    for (QAction* action : chip->menu()->actions())
        shown << (action->isSeparator() ? (action->text().isEmpty() ? "-" : "[" + action->text() + "]")
                                        : action->text());
    return shown;
}

TEST(SystemPapersTest, TheDialogsSizesReachTheSheetMenuAndAreChosenAsTheCustomSheet) {
    REQUIRE_PRINT_SERVER(server);
    AppTestSupport::Sandbox sandbox;
    const std::filesystem::path config = sandbox.root() / "config";
    std::filesystem::create_directories(config / "gtk-3.0");
    // One entry the dialog could not read sits between two it can.
    TestSupport::writeFile(config / "gtk-3.0" / "custom-papers",
                           "[Paper0]\nName=Panorama\nWidth=210\nHeight=594\nMarginTop=0\nMarginBottom=0\n"
                           "MarginLeft=0\nMarginRight=0\n\n[Paper1]\nName=Broken\nWidth=?\nHeight=1\n"
                           "MarginTop=0\nMarginBottom=0\nMarginLeft=0\nMarginRight=0\n\n[Paper2]\n"
                           "DisplayName=엽서 100x148\nName=custom-2\nWidth=100\nHeight=148\nMarginTop=5\n"
                           "MarginBottom=5\nMarginLeft=5\nMarginRight=5\n");
    TestSupport::ScopedEnvironment xdg("XDG_CONFIG_HOME", config.string());
    PrintModel::customPaperCache().reset();
    PrintModel model(sandbox.environment());
    AppTestSupport::startAndWait(model);
    AppTestSupport::selectAndWait(model, AppTestSupport::p900Queue);
    RecipeInspector inspector(&model);
    inspector.show();
    WindowTest::settle();
    auto* sheet = inspector.findChild<MenuChip*>("sheet");
    ASSERT_NE(sheet, nullptr);
    const QStringList shown = titles(sheet);
    const qsizetype heading = shown.indexOf("[시스템에 만들어 둔 크기]");
    ASSERT_GE(heading, 0) << shown.join(" | ").toStdString();
    EXPECT_EQ(shown.mid(heading + 1),
              (QStringList{"Panorama — 210.0×594.0mm", "엽서 100x148 — 100.0×148.0mm", "사용자 지정…"}));
    for (QAction* action : sheet->menu()->actions())
        if (action->text().startsWith("엽서"))
            action->trigger();
    WindowTest::settle();
    EXPECT_EQ(model.recipe()->customSheet, PrintKit::CustomSheetSize::fromMillimetres(100, 148));
    PrintModel::customPaperCache().reset();
}

} // namespace
