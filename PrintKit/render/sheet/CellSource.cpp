#include "PrintKit/render/sheet/CellSource.h"

#include "PrintKit/render/decode/ImageDecoder.h"
#include "PrintKit/render/sheet/LinearSource.h"
#include "PrintKit/render/decode/Orientation.h"

#include <algorithm>
#include <cmath>

namespace PrintKit {

CellSource::CellSource(std::filesystem::path path) : url(std::move(path)) {
    const ImageInfo info = ImageDecoder::probe(url);
    width = info.width;
    height = info.height;
    // A value outside 1…8 is upright, as everywhere else: it must not turn the cell's idea of the photo.
    if (Orientation::swapsSides(info.orientation)) {
        std::swap(width, height);
    }
}

int CellSource::reducedSize(const CellFit& fit) const {
    const double drawnWidth = static_cast<double>(fit.rotated ? height : width);
    const double drawnHeight = static_cast<double>(fit.rotated ? width : height);
    const double ratio = std::max(static_cast<double>(fit.frame.width) / (fit.crop.width() * drawnWidth),
                                  static_cast<double>(fit.frame.height) / (fit.crop.height() * drawnHeight));
    // Also a ratio that is not a number (an empty crop) decodes in full.
    if (!(2 * ratio < 1)) {
        return 0;
    }
    const double longest = static_cast<double>(std::max(width, height));
    const double wanted = std::min(longest, std::ceil(2 * ratio * longest));
    return static_cast<int>(std::max(wanted, 1.0));
}

std::shared_ptr<LinearSource> CellSource::source(const CellFit& fit) const {
    const int reduced = reducedSize(fit);
    if (reduced == 0) {
        LinearSource::Decoded decoded = LinearSource::read(url);
        return std::make_shared<LinearSource>(std::move(decoded.image), decoded.orientation, fit.rotated);
    }
    return std::make_shared<LinearSource>(LinearSource::readReduced(url, reduced), 1, fit.rotated);
}

} // namespace PrintKit
