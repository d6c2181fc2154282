#include "QuilmPrint/window/PreviewText.h"

#include "PreviewTestSupport.h"
#include "PrintKit/render/layout/CanvasTurn.h"

#include <gtest/gtest.h>

using namespace QuilmPrint;
namespace Text = QuilmPrint::PreviewText;
using PreviewTest::page;

namespace {

PreparedSheet sheetOf(PrintKit::PPDPageSize page, bool turned = false) {
    PreparedSheet sheet;
    sheet.page = turned ? PrintKit::CanvasTurn::canvas(page) : page;
    sheet.isTurnedCanvas = turned;
    return sheet;
}

// A borderless page a little larger than its A4 paper.
PreparedSheet borderless(double extraWidth, bool bleed) {
    PreparedSheet sheet = sheetOf(page(595.28 + extraWidth, 841.89 + extraWidth));
    sheet.paper = page(595.28, 841.89);
    if (bleed)
        sheet.bleed = PrintKit::BorderlessBleed{PrintKit::Rect(2, 2, 595.28, 841.89)};
    return sheet;
}

} // namespace

TEST(PreviewTextTest, PaperFeedAndBorderlessNotesNameTheShownPaper) {
    const PreparedSheet a4 = sheetOf(page(595.28, 841.89)), turned = sheetOf(page(595.28, 841.89), true);
    const std::pair<QString, const char*> texts[] = {
        {Text::paper(a4), "용지 세로 210.0×297.0mm"},
        {Text::paper(turned), "용지 가로 297.0×210.0mm"},
        {Text::paper(sheetOf(page(360, 360))), "용지 세로 127.0×127.0mm"},
        {Text::paper(borderless(20, false)), "용지 세로 210.0×297.0mm"}, // the paper, not the larger page
        {Text::feedLabel(a4), "▲ 먼저 들어가는 쪽 · 폭 210.0mm"},
        {Text::feedLabel(turned), "◀ 왼쪽이 먼저 들어가는 쪽 · 폭 210.0mm"},
        {*Text::borderlessNote(borderless(20, true)), "여백 없음 · 가장자리 보정 · 사진은 종이 크기에 맞춤"},
        {*Text::borderlessNote(borderless(1, false)), "여백 없음 · 가장자리 0.2mm는 잘려 나갑니다"},
        {*Text::borderlessNote(borderless(0.5, false)), "여백 없음 · 드라이버가 조금 키워서 인쇄합니다"},
        {Text::resolution(359.9), "359ppi"},
    };
    for (const auto& [text, expected] : texts)
        EXPECT_EQ(text.toStdString(), expected);
    EXPECT_FALSE(Text::borderlessNote(a4));
    PrintKit::GridPlan plan;
    plan.columns = 3;
    plan.rows = 4;
    EXPECT_EQ(Text::gridSize(plan).toStdString(), "3×4 = 0칸");
    EXPECT_FALSE(Text::cellSize(plan));
}

TEST(PreviewTextTest, DetailLineFlagsPrintsBelowTwoHundredPixelsPerInch) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::tuple<std::optional<double>, const char*, bool> cases[] = {
        {600, "6000×4000 · 600ppi", false}, {199.6, "6000×4000 · 200ppi", true},
        {200, "6000×4000 · 200ppi", false}, {150.5, "6000×4000 · 151ppi", true},
        {std::nullopt, "6000×4000", false}, {inf, "6000×4000", false}};
    for (const auto& [ppi, text, low] : cases) {
        const Text::PhotoDetail detail = Text::photoDetail(6000, 4000, ppi);
        EXPECT_EQ(detail.text.toStdString(), text);
        EXPECT_EQ(detail.lowResolution, low) << text;
    }
    // The resolution counts the part of the photo that is used.
    PrintKit::Placement placement;
    placement.rect = PrintKit::Rect(0, 0, 720, 480); // 254 mm wide
    placement.crop = PrintKit::Rect(0.1, 0, 0.8, 1);
    EXPECT_DOUBLE_EQ(*Text::placementPPI(placement, 6000), 480);
    placement.rect = PrintKit::Rect(0, 0, 0, 480);
    EXPECT_FALSE(Text::placementPPI(placement, 6000));
}
