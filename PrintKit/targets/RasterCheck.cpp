#include "PrintKit/targets/RasterCheck.h"

#include "PrintKit/support/Numbers.h"
#include "PrintKit/support/Rounding.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cups/raster.h>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace PrintKit {

std::string errorMessage(RasterCheckErrorCode code, const std::string& detail) {
    switch (code) {
    case RasterCheckErrorCode::cannotOpen:
        return "래스터 파일을 열지 못했습니다: " + detail;
    case RasterCheckErrorCode::noPage:
        return "래스터에 페이지가 없습니다: " + detail;
    case RasterCheckErrorCode::unsupported:
        return "지원하지 않는 래스터 형식입니다: " + detail;
    case RasterCheckErrorCode::invalidPatch:
        return "매니페스트의 패치 위치가 올바르지 않습니다: " + detail;
    }
    return "지원하지 않는 래스터 형식입니다: " + detail;
}

double RasterCheckResult::maxDelta() const {
    double largest = 0;
    for (const PatchReading& reading : readings) {
        largest = std::max(largest, reading.maxDelta);
    }
    return largest;
}

namespace RasterCheck {

namespace {

// The sampling window of one patch in raster pixels (half-open, rows from the top) and its running sums.
struct Region {
    std::int64_t x0 = 0, x1 = 0;
    std::int64_t y0 = 0, y1 = 0;
    double sums[3] = {0, 0, 0};
    std::int64_t count = 0;
};

// The raster stream and the descriptor under it, closed in that order whatever happens.
class RasterFile {
public:
    RasterFile(int fd, cups_raster_t* stream) : fd_(fd), stream_(stream) {}
    ~RasterFile() {
        if (stream_) {
            cupsRasterClose(stream_);
        }
        ::close(fd_);
    }
    RasterFile(const RasterFile&) = delete;
    RasterFile& operator=(const RasterFile&) = delete;
    cups_raster_t* stream() const { return stream_; }

private:
    int fd_;
    cups_raster_t* stream_;
};

std::string layoutDetail(unsigned order, std::uint64_t colors, unsigned bits) {
    return "order " + Numbers::integer(order) + ", colors " +
           Numbers::integer(static_cast<std::int64_t>(colors)) + ", bits " + Numbers::integer(bits);
}

[[noreturn]] void unsupported(const std::string& detail) {
    throw RasterCheckError(RasterCheckErrorCode::unsupported, detail);
}

// Refuses a header that libcups accepts but whose numbers cannot all be true: lines shorter than the width
// needs would have every later row read past the end of the line, and a zero resolution makes every window
// (and the fallback imaging box) infinite.
void requireReadable(const cups_page_header2_t& header) {
    std::uint64_t colors = header.cupsNumColors;
    if (colors == 0) {
        colors = header.cupsBitsPerPixel / std::max(header.cupsBitsPerColor, 1u);
    }
    const unsigned bits = header.cupsBitsPerColor;
    const std::string detail = layoutDetail(header.cupsColorOrder, colors, bits);
    if (header.cupsColorOrder != CUPS_ORDER_CHUNKED || colors != 3 || (bits != 8 && bits != 16)) {
        unsupported(detail);
    }
    if (header.cupsBitsPerPixel != 3 * bits) {
        unsupported(detail + ", bits per pixel " + Numbers::integer(header.cupsBitsPerPixel));
    }
    const std::uint64_t needed = static_cast<std::uint64_t>(header.cupsWidth) * 3 * (bits / 8);
    if (header.cupsBytesPerLine < needed) {
        unsupported(detail + ", width " + Numbers::integer(header.cupsWidth) + ", bytes per line " +
                    Numbers::integer(header.cupsBytesPerLine));
    }
    if (header.HWResolution[0] == 0 || header.HWResolution[1] == 0) {
        unsupported(detail + ", resolution " + Numbers::integer(header.HWResolution[0]) + "x" +
                    Numbers::integer(header.HWResolution[1]));
    }
}

std::vector<double> imagingBox(const cups_page_header2_t& header) {
    if (header.cupsImagingBBox[3] > 0) {
        return {
            static_cast<double>(header.cupsImagingBBox[0]), static_cast<double>(header.cupsImagingBBox[1]),
            static_cast<double>(header.cupsImagingBBox[2]), static_cast<double>(header.cupsImagingBBox[3])};
    }
    const double xres = header.HWResolution[0];
    const double yres = header.HWResolution[1];
    const double left = header.Margins[0];
    const double bottom = header.Margins[1];
    return {left, bottom, static_cast<double>(header.cupsWidth) * 72 / xres + left,
            static_cast<double>(header.cupsHeight) * 72 / yres + bottom};
}

Region region(const TestPatch& patch, double left, double top, double xres, double yres) {
    const std::vector<double>& r = patch.rect;
    if (r.size() < 4 || !std::isfinite(r[0]) || !std::isfinite(r[1]) || !std::isfinite(r[2]) ||
        !std::isfinite(r[3])) {
        throw RasterCheckError(RasterCheckErrorCode::invalidPatch, patch.name);
    }
    const double x = r[0], y = r[1], w = r[2], h = r[3];
    // Far-off windows clamp to the 64-bit range: they still cover no pixel of the page.
    Region result;
    result.x0 = Rounding::pixelCount((x + w * 0.25 - left) * xres / 72);
    result.x1 = Rounding::pixelCount((x + w * 0.75 - left) * xres / 72);
    result.y0 = Rounding::pixelCount((top - (y + h * 0.75)) * yres / 72);
    result.y1 = Rounding::pixelCount((top - (y + h * 0.25)) * yres / 72);
    return result;
}

} // namespace

RasterCheckResult measure(const std::filesystem::path& raster, const TestTargetManifest& manifest) {
    const int fd = ::open(raster.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw RasterCheckError(RasterCheckErrorCode::cannotOpen, raster.string());
    }
    RasterFile file(fd, cupsRasterOpen(fd, CUPS_RASTER_READ));
    if (!file.stream()) {
        throw RasterCheckError(RasterCheckErrorCode::cannotOpen, raster.string());
    }
    cups_page_header2_t header;
    std::memset(&header, 0, sizeof header);
    if (!cupsRasterReadHeader2(file.stream(), &header)) {
        throw RasterCheckError(RasterCheckErrorCode::noPage, raster.string());
    }
    requireReadable(header);

    RasterCheckResult result;
    result.width = header.cupsWidth;
    result.height = header.cupsHeight;
    result.bitsPerColor = header.cupsBitsPerColor;
    result.colorSpace = header.cupsColorSpace;
    result.resolution = header.HWResolution[0];
    result.imagingBox = imagingBox(header);

    const double xres = header.HWResolution[0];
    const double yres = header.HWResolution[1];
    std::vector<Region> regions;
    regions.reserve(manifest.patches.size());
    for (const TestPatch& patch : manifest.patches) {
        regions.push_back(region(patch, result.imagingBox[0], result.imagingBox[3], xres, yres));
    }

    std::int64_t rowsToRead = 0;
    if (!regions.empty()) {
        std::int64_t lowest = regions.front().y1;
        for (const Region& r : regions) {
            lowest = std::max(lowest, r.y1);
        }
        rowsToRead = std::clamp<std::int64_t>(lowest, 0, result.height);
    }

    const unsigned lineBytes = header.cupsBytesPerLine;
    const std::int64_t width = result.width;
    const bool sixteen = header.cupsBitsPerColor == 16;
    // calloc: a long line is zeroed without touching its pages first.
    std::unique_ptr<unsigned char, void (*)(void*)> line(
        rowsToRead > 0 ? static_cast<unsigned char*>(std::calloc(lineBytes, 1)) : nullptr, std::free);
    if (rowsToRead > 0 && !line) {
        throw std::bad_alloc();
    }
    for (std::int64_t row = 0; row < rowsToRead; ++row) {
        if (cupsRasterReadPixels(file.stream(), line.get(), lineBytes) < lineBytes) {
            break; // the file ends early: what was summed so far stands
        }
        for (Region& r : regions) {
            if (row < r.y0 || row >= r.y1) {
                continue;
            }
            const std::int64_t start = std::max<std::int64_t>(r.x0, 0);
            const std::int64_t end = std::min(r.x1, width);
            if (start >= end) {
                continue;
            }
            for (std::int64_t c = start; c < end; ++c) {
                for (std::size_t k = 0; k < 3; ++k) {
                    const auto index = static_cast<std::size_t>(3 * c) + k;
                    if (sixteen) {
                        // libcups hands 16-bit samples over in the machine's own byte order.
                        std::uint16_t sample;
                        std::memcpy(&sample, line.get() + 2 * index, sizeof sample);
                        r.sums[k] += static_cast<double>(sample) / 257;
                    } else {
                        r.sums[k] += static_cast<double>(line.get()[index]);
                    }
                }
            }
            r.count += end - start;
        }
    }

    result.readings.reserve(regions.size());
    for (std::size_t i = 0; i < regions.size(); ++i) {
        const TestPatch& patch = manifest.patches[i];
        const Region& r = regions[i];
        PatchReading reading{patch.name, patch.rgb, {-1, -1, -1}, 999};
        if (r.count >= 1) {
            reading.measured = {r.sums[0] / static_cast<double>(r.count),
                                r.sums[1] / static_cast<double>(r.count),
                                r.sums[2] / static_cast<double>(r.count)};
            const std::size_t channels = std::min<std::size_t>(3, patch.rgb.size());
            if (channels > 0) {
                reading.maxDelta = 0;
                for (std::size_t k = 0; k < channels; ++k) {
                    reading.maxDelta =
                        std::max(reading.maxDelta, std::abs(reading.measured[k] - patch.rgb[k]));
                }
            }
        }
        result.readings.push_back(std::move(reading));
    }
    return result;
}

} // namespace RasterCheck

} // namespace PrintKit
