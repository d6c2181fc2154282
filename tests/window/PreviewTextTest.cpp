#include "QuilmPrint/window/PreviewText.h"

#include "PreviewTestSupport.h"
#include "PrintKit/render/layout/CanvasTurn.h"

#include <gtest/gtest.h>

using namespace QuilmPrint;
namespace Text = QuilmPrint::PreviewText;
using PreviewTest::page;

namespace {

PreparedSheet a4() {
    PreparedSheet sheet;
    sheet.page = page(595.28, 841.89);
    return sheet;
}

// A borderless page a little larger than its A4 paper.
PreparedSheet borderless(double extraWidth, bool bleed) {
    PreparedSheet sheet = a4();
    sheet.paper = sheet.page;
    sheet.page = page(595.28 + extraWidth, 841.89 + extraWidth);
    if (bleed) {
        sheet.bleed = PrintKit::BorderlessBleed{PrintKit::Rect(2, 2, 595.28, 841.89)};
    }
    return sheet;
}

std::string s(const QString& text) {
    return text.toStdString();
}

} // namespace

TEST(PreviewTextTest, PaperReadsTheShownPaperAndItsOrientation) {
    PreparedSheet turned = a4();
    turned.page = PrintKit::CanvasTurn::canvas(turned.page);
    turned.isTurnedCanvas = true;
    PreparedSheet square;
    square.page = page(360, 360);
    EXPECT_EQ(s(Text::paper(a4())), "용지 세로 210.0×297.0mm");
    EXPECT_EQ(s(Text::paper(turned)), "용지 가로 297.0×210.0mm");
    EXPECT_EQ(s(Text::paper(square)), "용지 세로 127.0×127.0mm");
    // A borderless page names the paper, not the larger page.
    EXPECT_EQ(s(Text::paper(borderless(20, false))), "용지 세로 210.0×297.0mm");
}

TEST(PreviewTextTest, BorderlessNoteTellsWhatHappensAtThePaperEdge) {
    EXPECT_FALSE(Text::borderlessNote(a4()));
    EXPECT_EQ(s(*Text::borderlessNote(borderless(20, true))),
              "여백 없음 · 가장자리 보정 · 사진은 종이 크기에 맞춤");
    EXPECT_EQ(s(*Text::borderlessNote(borderless(1, false))), "여백 없음 · 가장자리 0.2mm는 잘려 나갑니다");
    EXPECT_EQ(s(*Text::borderlessNote(borderless(0.5, false))),
              "여백 없음 · 드라이버가 조금 키워서 인쇄합니다");
}

TEST(PreviewTextTest, SizesCountsAndResolution) {
    PrintKit::Placement placement;
    placement.rect = PrintKit::Rect(10, 10, 360, 504);
    EXPECT_EQ(s(Text::photoSize(placement)), "사진 127.0×177.8mm");

    PrintKit::GridPlan plan;
    plan.columns = 3;
    plan.rows = 4;
    plan.resolution = 720;
    plan.cells.assign(12, PrintKit::PixelRect{0, 0, 2880, 4320}); // 4 × 6 inches
    EXPECT_EQ(s(Text::gridSize(plan)), "3×4 = 12칸");
    EXPECT_EQ(s(*Text::cellSize(plan)), "칸 101.6×152.4mm");
    plan.cells.clear();
    EXPECT_EQ(s(Text::gridSize(plan)), "3×4 = 0칸");
    EXPECT_FALSE(Text::cellSize(plan));

    EXPECT_EQ(s(Text::pager(1, 5)), "2/5장");
    EXPECT_EQ(s(Text::zoom(1)), "맞춤");
    EXPECT_EQ(s(Text::zoom(2)), "2배");
    EXPECT_EQ(s(Text::zoom(4)), "4배");
    EXPECT_EQ(s(Text::resolution(720)), "720ppi");
    EXPECT_EQ(s(Text::resolution(359.9)), "359ppi");
    EXPECT_EQ(s(Text::photoCount(0)), "0장");
}

TEST(PreviewTextTest, FeedLabelMeasuresTheEdgeThatEntersFirst) {
    PreparedSheet turned = a4();
    turned.page = PrintKit::CanvasTurn::canvas(turned.page);
    turned.isTurnedCanvas = true;
    EXPECT_EQ(s(Text::feedLabel(a4())), "▲ 먼저 들어가는 쪽 · 폭 210.0mm");
    EXPECT_EQ(s(Text::feedLabel(turned)), "◀ 왼쪽이 먼저 들어가는 쪽 · 폭 210.0mm");
}

TEST(PreviewTextTest, DetailLineFlagsPrintsBelowTwoHundredPixelsPerInch) {
    struct Case {
        std::optional<double> ppi;
        const char* text;
        bool low;
    };
    const double inf = std::numeric_limits<double>::infinity();
    for (Case c : {Case{600, "6000×4000 · 600ppi", false}, Case{199.6, "6000×4000 · 200ppi", true},
                   Case{200, "6000×4000 · 200ppi", false}, Case{150.5, "6000×4000 · 151ppi", true},
                   Case{std::nullopt, "6000×4000", false}, Case{inf, "6000×4000", false}}) {
        const Text::PhotoDetail detail = Text::photoDetail(6000, 4000, c.ppi);
        EXPECT_EQ(s(detail.text), c.text);
        EXPECT_EQ(detail.lowResolution, c.low) << c.text;
    }
}

TEST(PreviewTextTest, PlacedResolutionCountsTheUsedPartOfThePhoto) {
    PrintKit::Placement placement;
    placement.rect = PrintKit::Rect(0, 0, 720, 480); // 254 mm wide
    EXPECT_DOUBLE_EQ(*Text::placementPPI(placement, 6000), 600);
    placement.crop = PrintKit::Rect(0.1, 0, 0.8, 1);
    EXPECT_DOUBLE_EQ(*Text::placementPPI(placement, 6000), 480);
    placement.rect = PrintKit::Rect(0, 0, 0, 480);
    EXPECT_FALSE(Text::placementPPI(placement, 6000));
}
