// Finding photos among the files and folders a user hands over, and reading what the photo list shows of
// each: its upright pixel size and a small upright sRGB image. Everything here blocks and runs off the main
// thread; the pixels go through the engine's decoders and colour transforms, so what the list shows is the
// photo as the renderer reads it (orientation applied, colour converted from the photo's own space).
#pragma once

#include <QImage>
#include <atomic>
#include <filesystem>
#include <vector>

namespace QuilmPrint::PhotoLoader {

// Longer side of a list image: sharp in the list at twice the pixel density, and in the grid preview's cells.
inline constexpr int thumbnailPixels = 320;

// JPEG, TIFF, PNG and HEIC by their extension, in any letter case.
bool isPhotoName(const std::filesystem::path& path);

// The photos among the given files and inside the given folders (at any depth), in the order given and, in
// a folder, in the order a file browser shows its items. Hidden items and folder links are passed over, so
// no walk can loop; unreadable folders add nothing. Stops early (with what it has) when cancel is set.
std::vector<std::filesystem::path> find(const std::vector<std::filesystem::path>& urls,
                                        const std::atomic<bool>* cancel = nullptr);

struct Loaded {
    std::filesystem::path url;
    int pixelWidth = 0; // upright
    int pixelHeight = 0;
    QImage thumbnail;
};

// Throws the engine's SheetRenderError (unreadableImage with the path) when the photo cannot be read.
Loaded load(const std::filesystem::path& url);

// The photo upright, in sRGB, 8 bits per channel, its longer side at most maxPixel. Throws like load().
QImage uprightSRGB(const std::filesystem::path& url, int maxPixel);

} // namespace QuilmPrint::PhotoLoader
