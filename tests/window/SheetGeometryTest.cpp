#include "QuilmPrint/window/SheetGeometry.h"

#include "PreviewTestSupport.h"

#include <gtest/gtest.h>

using namespace QuilmPrint;
using PreviewTest::page;

TEST(SheetGeometryTest, ZoomOneFitsTheSheetBelowTheLabelBandAndZoomTwoDoublesTheCanvas) {
    for (auto [w, h, viewW, viewH] :
         {std::array{595.28, 841.89, 600.0, 500.0}, std::array{841.89, 595.28, 600.0, 500.0},
          std::array{288.0, 288.0, 300.0, 900.0}, std::array{612.0, 792.0, 1200.0, 300.0}}) {
        const SheetGeometry g(page(w, h), QSizeF(viewW, viewH), 1);
        const QRectF sheet = g.viewRect(PrintKit::Rect(0, 0, w, h));
        EXPECT_EQ(g.canvas, QSizeF(viewW, viewH));
        // Inside the view below the 18-point band, touching both sides or both the band and the bottom.
        EXPECT_TRUE(
            (std::abs(sheet.left()) < 1e-9 && std::abs(sheet.right() - viewW) < 1e-9 && sheet.top() >= 18) ||
            (std::abs(sheet.top() - 18) < 1e-9 && std::abs(sheet.bottom() - viewH) < 1e-9 &&
             sheet.left() >= 0))
            << w << "x" << h << ": " << sheet.left() << " " << sheet.top();
    }
    const SheetGeometry two(page(500, 400), QSizeF(500, 1000), 2);
    EXPECT_EQ(std::make_tuple(two.scale, two.canvas, two.origin().x()),
              std::make_tuple(2.0, QSizeF(1000, 1000), 0.0));
    // A viewport with no room keeps a positive scale; a page of no size is not drawn.
    for (QSizeF viewport : {QSizeF(0, 0), QSizeF(0, 400), QSizeF(400, 18), QSizeF(-5, 10)}) {
        const SheetGeometry g(page(600, 300), viewport, 1);
        EXPECT_GT(g.scale, 0);
        EXPECT_TRUE(g.isDrawable());
    }
    EXPECT_FALSE(SheetGeometry(page(0, 300), QSizeF(400, 400), 1).isDrawable());
}
