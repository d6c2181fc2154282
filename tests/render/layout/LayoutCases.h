// Pages and rectangle checks shared by the layout tests.
#pragma once

#include "PrintKit/render/layout/Layout.h"

#include <gtest/gtest.h>

namespace LayoutCases {

inline PrintKit::PPDPageSize page(double width, double height,
                                  std::optional<std::vector<double>> imageable = {}) {
    return {"4x6.Borderless", "4x6", {{"ko", "4 x 6 인치 (무테)"}}, width, height, std::move(imageable)};
}

inline void expectRect(const PrintKit::Rect& actual, double x, double y, double w, double h,
                       double tolerance = 1e-9) {
    EXPECT_NEAR(actual.minX(), x, tolerance);
    EXPECT_NEAR(actual.minY(), y, tolerance);
    EXPECT_NEAR(actual.width(), w, tolerance);
    EXPECT_NEAR(actual.height(), h, tolerance);
}

inline void expectRect(const PrintKit::Rect& actual, const PrintKit::Rect& expected,
                       double tolerance = 1e-9) {
    expectRect(actual, expected.minX(), expected.minY(), expected.width(), expected.height(), tolerance);
}

} // namespace LayoutCases
