// A request for a grid of equal cells on one sheet, in page points, as the user set it.
#pragma once

namespace PrintKit {

struct GridSpec {
    double cellWidth = 0;
    double cellHeight = 0;
    bool turnsToFitMore = false; // the planner may turn all cells a quarter turn when that fits more
    double gap = 0;              // between neighbouring cells only, never at the block's outer edges
    bool fitsWhole = false;      // set: each photo whole inside its cell; clear: it fills the cell, cropped
    bool rotatesToFit = false;   // a photo whose orientation differs from its cell's is turned
    bool cutMarks = false;
    bool captions = false; // each cell keeps a caption strip at its bottom

    // Arguments in the order the settings panel thinks of them, which differs from the stored order.
    static constexpr GridSpec make(double cellWidth, double cellHeight, double gap, bool turnsToFitMore,
                                   bool fitsWhole, bool rotatesToFit, bool cutMarks, bool captions) {
        return {cellWidth, cellHeight, turnsToFitMore, gap, fitsWhole, rotatesToFit, cutMarks, captions};
    }

    friend constexpr bool operator==(const GridSpec&, const GridSpec&) = default;
};

} // namespace PrintKit
