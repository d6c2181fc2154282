// What a grid cell knows of its photo before decoding it: the file and its upright pixel size, read from
// the file's headers. It also decides how the photo is decoded for a cell: in full, or reduced when the cell
// needs far fewer pixels than the photo has.
#pragma once

#include "PrintKit/render/layout/CellFit.h"

#include <cstdint>
#include <filesystem>
#include <memory>

namespace PrintKit {

class LinearSource;

struct CellSource {
    std::filesystem::path url;
    std::int64_t width = 0; // upright: the stored size, swapped for orientations 5 to 8
    std::int64_t height = 0;

    // Reads only the file's headers. Throws SheetRenderError (unreadableImage) with the path.
    explicit CellSource(std::filesystem::path url);
    CellSource(std::filesystem::path url, std::int64_t width, std::int64_t height)
        : url(std::move(url)), width(width), height(height) {}

    // The longest side to decode the photo to for this fit, or 0 for a full decode: a reduced decode keeps
    // about twice the photo pixels per frame pixel on the more demanding axis, so the filter still reduces.
    int reducedSize(const CellFit& fit) const;

    // The source to draw the photo from for this fit (turned when the fit turns it). Decoding errors pass
    // through unchanged.
    std::shared_ptr<LinearSource> source(const CellFit& fit) const;

    friend bool operator==(const CellSource&, const CellSource&) = default;
};

} // namespace PrintKit
