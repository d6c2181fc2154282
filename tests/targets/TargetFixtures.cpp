#include "TargetFixtures.h"

#include "TestSupport.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace TargetFixtures {

std::filesystem::path writeProfile(const std::filesystem::path& path, const std::string& bytes) {
    TestSupport::writeFile(path, bytes);
    return path;
}

cups_page_header2_t rgbHeader(unsigned width, unsigned height, unsigned bits, unsigned resolution) {
    cups_page_header2_t header{};
    header.cupsWidth = width;
    header.cupsHeight = height;
    header.cupsBitsPerColor = bits;
    header.cupsBitsPerPixel = 3 * bits;
    header.cupsBytesPerLine = width * 3 * bits / 8;
    header.cupsColorOrder = CUPS_ORDER_CHUNKED;
    header.cupsColorSpace = CUPS_CSPACE_RGB;
    header.cupsNumColors = 3;
    header.HWResolution[0] = resolution;
    header.HWResolution[1] = resolution;
    header.PageSize[0] = width * 72 / (resolution ? resolution : 72);
    header.PageSize[1] = height * 72 / (resolution ? resolution : 72);
    return header;
}

bool writeRaster(const std::filesystem::path& path, cups_mode_t mode, const cups_page_header2_t& header,
                 const PixelColor& color) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw std::runtime_error("cannot write " + path.string());
    }
    cups_raster_t* raster = cupsRasterOpen(fd, mode);
    cups_page_header2_t copy = header;
    bool written = raster && cupsRasterWriteHeader2(raster, &copy);
    std::vector<unsigned char> line(header.cupsBytesPerLine, 0);
    // Three samples per pixel whatever the header claims, and never past the end of the line.
    const unsigned pixels =
        std::min(header.cupsWidth, header.cupsBytesPerLine / (3 * header.cupsBitsPerColor / 8));
    for (unsigned y = 0; written && y < header.cupsHeight; ++y) {
        for (unsigned x = 0; x < pixels; ++x) {
            const auto rgb = color(x, y);
            for (unsigned c = 0; c < 3; ++c) {
                if (header.cupsBitsPerColor == 16) {
                    // In the machine's order: libcups turns it into the file's order (big-endian for PWG).
                    std::memcpy(line.data() + 6 * x + 2 * c, &rgb[c], 2);
                } else {
                    line[3 * x + c] = static_cast<unsigned char>(rgb[c]);
                }
            }
        }
        written =
            cupsRasterWritePixels(raster, line.data(), header.cupsBytesPerLine) == header.cupsBytesPerLine;
    }
    if (raster) {
        cupsRasterClose(raster);
    }
    ::close(fd);
    return written;
}

PixelColor perfectPrint(const PrintKit::TestTargetManifest& manifest, const cups_page_header2_t& header) {
    const double scale = 72.0 / header.HWResolution[0];
    const double top = manifest.pageHeight;
    const std::uint16_t factor = header.cupsBitsPerColor == 16 ? 257 : 1;
    return [=](unsigned x, unsigned y) -> std::array<std::uint16_t, 3> {
        // The pixel's centre in page points.
        const double px = (x + 0.5) * scale;
        const double py = top - (y + 0.5) * scale;
        for (const auto& patch : manifest.patches) {
            const auto& r = patch.rect;
            if (px >= r[0] && px < r[0] + r[2] && py >= r[1] && py < r[1] + r[3]) {
                return {static_cast<std::uint16_t>(patch.rgb[0] * factor),
                        static_cast<std::uint16_t>(patch.rgb[1] * factor),
                        static_cast<std::uint16_t>(patch.rgb[2] * factor)};
            }
        }
        const auto white = static_cast<std::uint16_t>(255 * factor);
        return {white, white, white};
    };
}

} // namespace TargetFixtures
