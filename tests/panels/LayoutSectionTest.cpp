#include "InspectorFixture.h"

using namespace QuilmPrint;

TEST_F(InspectorTest, ExactSizeRowsFollowPresetsOrientationTypingAndDrags) {
    OPEN("TestbedPhoto");
    click(get<ChipRow>("perSheet")->chip(0));
    click(get<ChipRow>("layoutMode")->chip(2));
    ASSERT_EQ(model->layoutMode(), LayoutMode::exact);
    EXPECT_FALSE(shown("canvasOrientation"));
    EXPECT_EQ(
        text("modeDescription"),
        QString("정한 크기로 인쇄합니다. 사진 방향에 맞춰 돌리고, 모양이 다르면 가운데 기준으로 자릅니다."));

    auto* preset = get<MenuChip>("preset");
    EXPECT_EQ(menu(preset).size(), 6);
    choose(preset, "10×15cm (4×6in)");
    EXPECT_TRUE(model->exactTurnsToPhoto());
    EXPECT_EQ(preset->title(), QString("10×15cm (4×6in)"));
    EXPECT_EQ(selected(get<ChipRow>("exactOrientation")), 0);
    EXPECT_EQ(get<NumberField>("exactWidth")->identity(), QString("exact-w-1016"));

    click(get<ChipRow>("exactOrientation")->chip(1));
    EXPECT_EQ(model->exactWidthMM(), 152.4);
    EXPECT_FALSE(model->exactTurnsToPhoto());
    EXPECT_EQ(get<MenuChip>("preset")->title(), QString("직접 입력"));
    EXPECT_EQ(selected(get<ChipRow>("exactOrientation")), 1);

    type(get<NumberField>("exactWidth"), "3");
    EXPECT_EQ(model->exactWidthMM(), 5.0);
    EXPECT_EQ(get<NumberField>("exactWidth")->text(), QString("5"));
    type(get<NumberField>("exactHeight"), "101.64");
    EXPECT_EQ(model->exactHeightMM(), 101.64);
    EXPECT_EQ(get<NumberField>("exactHeight")->text(), QString("101.6"));

    // A resize in the preview shows in the fields through their identities.
    PhotoItem photo;
    photo.id = QUuid::createUuid();
    model->resizeExact(PrintKit::Rect(0, 0, 288, 432), PrintKit::Rect(0, 0, 595, 842), photo);
    EXPECT_EQ(get<NumberField>("exactWidth")->text(), QString("101.6"));
    EXPECT_EQ(get<NumberField>("exactHeight")->text(), QString("152.4"));
    EXPECT_EQ(get<MenuChip>("preset")->title(), QString("10×15cm (4×6in)"));

    // The margin is stored as typed.
    type(get<NumberField>("margin"), "-2");
    EXPECT_EQ(model->marginMM(), -2);
}

TEST_F(InspectorTest, GridRowsClampTheirFieldsAndSummariseThePlan) {
    OPEN(AppTestSupport::p900Queue);
    click(get<ChipRow>("perSheet")->chip(1));
    ASSERT_EQ(model->photosPerSheet(), PhotosPerSheet::many);
    EXPECT_FALSE(shown("layoutMode"));

    auto* gridTemplate = get<MenuChip>("gridTemplate");
    EXPECT_EQ(menu(gridTemplate).size(), static_cast<qsizetype>(GridTemplate::all().size()));
    choose(gridTemplate, "4×6 모음 (10×15cm)");
    EXPECT_EQ(gridTemplate->title(), QString("4×6 모음 (10×15cm)"));
    click(get<ToggleRow>("cutMarks")->toggle());
    EXPECT_EQ(gridTemplate->title(), QString("4×6 모음 (10×15cm)")); // cut marks are not compared
    click(get<ToggleRow>("captions")->toggle());
    EXPECT_TRUE(model->grid().captions);
    EXPECT_EQ(gridTemplate->title(), QString("직접 입력"));
    click(get<ToggleRow>("captions")->toggle());

    EXPECT_EQ(selected(get<ChipRow>("gridOrientation")), 0);
    click(get<ChipRow>("gridOrientation")->chip(2));
    EXPECT_EQ(model->grid().widthMM, 152.4);
    EXPECT_EQ(selected(get<ChipRow>("gridOrientation")), 2);
    EXPECT_EQ(get<MenuChip>("gridTemplate")->title(), QString("직접 입력"));

    type(get<NumberField>("cellWidth"), "2");
    EXPECT_EQ(model->grid().widthMM, 5.0);
    EXPECT_EQ(get<NumberField>("cellWidth")->text(), QString("5"));
    type(get<NumberField>("gap"), "-1");
    EXPECT_EQ(model->grid().gapMM, 0.0);
    EXPECT_EQ(get<NumberField>("gap")->identity(), QString("grid-gap-0"));

    model->setGrid(GridSettings{30, 40, 2, true, false, true, true, false, false});
    ASSERT_TRUE(model->prepare().page.width > 0);
    auto plan = model->gridPlan(model->prepare());
    ASSERT_TRUE(plan.ok()) << plan.error.toStdString();
    QString cells = QString::number(plan.value->columns) + "×" + QString::number(plan.value->rows) + " = " +
                    QString::number(plan.value->count()) + "칸";
    EXPECT_TRUE(text("gridSummary").startsWith(cells)) << text("gridSummary").toStdString();
    EXPECT_TRUE(text("gridSummary").endsWith(" · 사진 없음")) << text("gridSummary").toStdString();
    click(get<ChipRow>("repetition")->chip(1));
    EXPECT_TRUE(text("gridSummary").endsWith(" · 선택한 사진으로 모든 칸"));

    // A cell larger than the page cannot be planned: the planner's message, in the warning colour.
    type(get<NumberField>("cellWidth"), "1000");
    auto failed = model->gridPlan(model->prepare());
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(text("gridSummary"), failed.error);
    EXPECT_EQ(get<QLabel>("gridSummary")->palette().color(QPalette::WindowText), Theme::warn());
}
