#include "QuilmPrint/window/SheetGeometry.h"

#include "PreviewTestSupport.h"

#include <gtest/gtest.h>

using namespace QuilmPrint;

using PreviewTest::page;

TEST(SheetGeometryTest, ZoomOneFitsTheWholeSheetBelowTheLabelBand) {
    struct Case {
        double pageWidth, pageHeight, viewWidth, viewHeight;
    };
    for (Case c : {Case{595.28, 841.89, 600, 500}, Case{841.89, 595.28, 600, 500}, Case{288, 288, 300, 900},
                   Case{612, 792, 1200, 300}}) {
        SCOPED_TRACE(testing::Message()
                     << c.pageWidth << "x" << c.pageHeight << " in " << c.viewWidth << "x" << c.viewHeight);
        const SheetGeometry g(page(c.pageWidth, c.pageHeight), QSizeF(c.viewWidth, c.viewHeight), 1);
        const double w = c.pageWidth * g.scale;
        const double h = c.pageHeight * g.scale;
        EXPECT_LE(w, c.viewWidth + 1e-9);
        EXPECT_LE(h + 18, c.viewHeight + 1e-9);
        EXPECT_EQ(g.canvas, QSizeF(c.viewWidth, c.viewHeight));
        const QRectF sheet = g.viewRect(PrintKit::Rect(0, 0, c.pageWidth, c.pageHeight));
        const bool touchesSides =
            std::abs(sheet.left()) < 1e-9 && std::abs(sheet.right() - c.viewWidth) < 1e-9;
        const bool touchesBand =
            std::abs(sheet.top() - 18) < 1e-9 && std::abs(sheet.bottom() - c.viewHeight) < 1e-9;
        EXPECT_TRUE(touchesSides || touchesBand) << sheet.left() << " " << sheet.top();
    }
}

TEST(SheetGeometryTest, ZoomTwoDoublesTheCanvasAndStartsTheSheetAtTheLeftEdge) {
    // 500 wide fits 500 points exactly; 1000 high leaves the height free.
    const SheetGeometry g(page(500, 400), QSizeF(500, 1000), 2);
    EXPECT_DOUBLE_EQ(g.scale, 2);
    EXPECT_DOUBLE_EQ(g.canvas.width(), 1000);
    EXPECT_DOUBLE_EQ(g.canvas.height(), 1000);
    EXPECT_DOUBLE_EQ(g.origin().x(), 0);
}

TEST(SheetGeometryTest, AViewportWithNoRoomKeepsAPositiveScale) {
    for (QSizeF viewport : {QSizeF(0, 0), QSizeF(0, 400), QSizeF(400, 18), QSizeF(-5, 10)}) {
        const SheetGeometry g(page(600, 300), viewport, 1);
        EXPECT_GT(g.scale, 0);
        EXPECT_TRUE(g.isDrawable());
    }
    EXPECT_FALSE(SheetGeometry(page(0, 300), QSizeF(400, 400), 1).isDrawable());
}
