// Looking at finished sheet PDFs from outside: the image objects as the file stores them, what qpdf and
// pdfimages say about the file, and the page as poppler paints it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace SheetProbe {

struct Image {
    int width = 0;
    int height = 0;
    std::string samples; // the stream's bytes: 16-bit big-endian red, green, blue

    // Sample c (0 red, 1 green, 2 blue) of pixel (x, y), 0…65535.
    int at(int x, int y, int c) const;
};

// Every image object, in file order (which is drawing order).
std::vector<Image> images(const std::filesystem::path& pdf);

// qpdf --check passes.
bool qpdfAccepts(const std::filesystem::path& pdf);

// `pdfimages -list`: "width height colour bits" of each image, e.g. "300 200 icc 16".
std::vector<std::string> listed(const std::filesystem::path& pdf);

// The page painted by pdftoppm at `dpi`, 8-bit RGB, top row first.
struct Raster {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    int at(int x, int y, int c) const { return rgb[(static_cast<std::size_t>(y) * width + x) * 3 + c]; }
    // The smallest rectangle holding every pixel darker than `below` in any channel (all 0 when none).
    struct Box {
        int x = 0, y = 0, width = 0, height = 0;
    };
    Box inked(int below = 250) const;
    // The mean of channel c over the rectangle, and how many of its pixels are darker than `below` in every
    // channel.
    double mean(const Box& box, int c) const;
    int dark(const Box& box, int below) const;
};
Raster raster(const std::filesystem::path& pdf, double dpi);

} // namespace SheetProbe
