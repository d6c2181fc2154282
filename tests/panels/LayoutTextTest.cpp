#include "QuilmPrint/panels/LayoutText.h"

#include "PanelTestSupport.h"

#include <gtest/gtest.h>

using namespace QuilmPrint;

TEST(LayoutTextTest, PresetTitleMatchesWithinHalfATenth) {
    const std::tuple<double, double, const char*> cases[] = {
        {101.6, 152.4, "10×15cm (4×6in)"},
        {101.62, 152.38, "10×15cm (4×6in)"},
        {101.7, 152.4, "직접 입력"},
        {152.4, 101.6, "직접 입력"},
        {210, 297, "A4"},
        {279.4, 355.6, "28×36cm (11×14in)"},
        {148.049, 209.951, "A5"},
        {148.05, 210, "직접 입력"},
    };
    for (auto [w, h, title] : cases)
        EXPECT_EQ(LayoutText::presetTitle(w, h), QString(title)) << w << "×" << h;
    EXPECT_EQ(LayoutText::sizePresets().size(), 6u);
    for (const SizePreset& preset : LayoutText::sizePresets())
        EXPECT_LT(preset.widthMM, preset.heightMM) << preset.name.toStdString();
}

TEST(LayoutTextTest, TemplateTitleComparesSizesGapFitCaptionsAndRepetition) {
    GridSettings postcard{101.6, 152.4, 3, true, false, true, true, false, false};
    GridSettings contact{36, 27, 4, true, true, false, false, true, false};
    std::vector<GridTemplate> templates{{"4×6 모음 (10×15cm)", postcard}, {"밀착인화", contact}};

    auto changed = [](GridSettings g, auto change) {
        change(g);
        return g;
    };
    const std::pair<GridSettings, const char*> cases[] = {
        {postcard, "4×6 모음 (10×15cm)"},
        {changed(postcard,
                 [](auto& g) {
                     g.cutMarks = false;
                     g.rotatesToFit = false;
                     g.autoTurn = false;
                 }),
         "4×6 모음 (10×15cm)"},
        {changed(postcard,
                 [](auto& g) {
                     g.gapMM = 3.04;
                     g.widthMM = 101.64;
                 }),
         "4×6 모음 (10×15cm)"},
        {changed(postcard, [](auto& g) { std::swap(g.widthMM, g.heightMM); }), "직접 입력"},
        {changed(postcard, [](auto& g) { g.captions = true; }), "직접 입력"},
        {changed(postcard, [](auto& g) { g.fitsWhole = true; }), "직접 입력"},
        {changed(postcard, [](auto& g) { g.repeatsOne = true; }), "직접 입력"},
        {changed(postcard, [](auto& g) { g.gapMM = 3.06; }), "직접 입력"},
        {contact, "밀착인화"},
    };
    for (const auto& [grid, title] : cases)
        EXPECT_EQ(LayoutText::templateTitle(grid, templates), QString(title));
}

TEST(LayoutTextTest, GridOrientationIsAutomaticWhileTheGridTurnsItself) {
    GridSettings grid;
    EXPECT_EQ(LayoutText::gridOrientation(grid), std::nullopt);
    grid.autoTurn = false;
    EXPECT_EQ(LayoutText::gridOrientation(grid), true);
    grid.widthMM = 200;
    EXPECT_EQ(LayoutText::gridOrientation(grid), false);
    grid.heightMM = 200;
    EXPECT_EQ(LayoutText::gridOrientation(grid), true);
}

TEST(LayoutTextTest, GridSummaryCountsCellsAndSheets) {
    PrintKit::GridPlan plan;
    plan.columns = 3;
    plan.rows = 4;
    plan.cells.resize(12);
    EXPECT_EQ(LayoutText::gridSummary(plan, false, 5, 1), QString("3×4 = 12칸 · 사진 5장 → 1장"));
    EXPECT_EQ(LayoutText::gridSummary(plan, false, 0, 0), QString("3×4 = 12칸 · 사진 없음"));
    EXPECT_EQ(LayoutText::gridSummary(plan, true, 30, 1), QString("3×4 = 12칸 · 선택한 사진으로 모든 칸"));
    plan.turned = true;
    EXPECT_EQ(LayoutText::gridSummary(plan, false, 25, 3),
              QString("3×4 = 12칸 · 칸을 돌려 더 많이 넣음 · 사진 25장 → 3장"));
}
