#include "QuilmPrint/model/PhotoLoader.h"

#include "PrintKit/render/color/SheetColor.h"
#include "PrintKit/render/decode/ImageDecoder.h"
#include "PrintKit/render/decode/Orientation.h"
#include "PrintKit/render/decode/SheetRenderError.h"
#include "PrintKit/render/sheet/Colorizer.h"
#include "PrintKit/render/sheet/LinearSource.h"
#include "PrintKit/render/sheet/SheetRenderer.h"
#include "PrintKit/support/Text.h"

#include <QColorSpace>
#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <string_view>

namespace QuilmPrint::PhotoLoader {

namespace fs = std::filesystem;
using namespace PrintKit;

namespace {

constexpr std::array<std::string_view, 7> photoExtensions{".jpg", ".jpeg", ".tif", ".tiff",
                                                          ".png", ".heic", ".heif"};
// Rows converted at once: a large preview never needs a float copy of the whole photo.
constexpr int bandRows = 64;
// Pixels above which a photo that is decoded in full before it is reduced (all but JPEG) counts as large.
constexpr std::int64_t largePixels = 24'000'000;

bool isHidden(const fs::path& path) {
    const std::string name = path.filename().string();
    return !name.empty() && name[0] == '.';
}

void walk(const fs::path& folder, std::vector<fs::path>& into, const std::atomic<bool>* cancel) {
    std::vector<fs::directory_entry> entries;
    std::error_code error;
    for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error), end;
         !error && it != end; it.increment(error)) {
        if (!isHidden(it->path())) {
            entries.push_back(*it);
        }
    }
    std::stable_sort(
        entries.begin(), entries.end(), [](const fs::directory_entry& a, const fs::directory_entry& b) {
            return Text::compareNames(a.path().filename().string(), b.path().filename().string()) < 0;
        });
    for (const fs::directory_entry& entry : entries) {
        if (cancel && cancel->load()) {
            return;
        }
        std::error_code statError;
        if (entry.is_symlink(statError) && entry.is_directory(statError)) {
            continue;
        }
        if (entry.is_directory(statError)) {
            walk(entry.path(), into, cancel);
        } else if (entry.is_regular_file(statError) && isPhotoName(entry.path())) {
            into.push_back(entry.path());
        }
    }
}

// One colour plan for every photo of the process: the transforms from a working space's linear form to
// sRGB are built once per space, not once per photo. Colorizer's cache is not thread-safe, its transforms
// are; the lock covers only finding or building them.
// Kept for the whole process (never destroyed), so a preview still decoding while the program ends never
// meets a destroyed plan.
const Colorizer::Conversion& toSRGB(const LinearSource& source) {
    static std::mutex* const lock = new std::mutex;
    static Colorizer* const colors = new Colorizer(SheetColor::sRGB());
    std::lock_guard guard(*lock);
    return colors->conversion(source);
}

std::uint8_t byte(float value) {
    const float v = value > 0.0f ? (value < 1.0f ? value : 1.0f) : 0.0f;
    return static_cast<std::uint8_t>(std::lround(v * 255.0f));
}

} // namespace

bool isPhotoName(const fs::path& path) {
    const std::string extension = Text::lowercased(path.extension().string());
    return std::find(photoExtensions.begin(), photoExtensions.end(), extension) != photoExtensions.end();
}

std::vector<fs::path> find(const std::vector<fs::path>& urls, const std::atomic<bool>* cancel) {
    std::vector<fs::path> found;
    for (const fs::path& url : urls) {
        if (cancel && cancel->load()) {
            break;
        }
        std::error_code error;
        if (fs::is_directory(url, error)) {
            walk(url, found, cancel);
        } else if (isPhotoName(url)) {
            found.push_back(url);
        }
    }
    return found;
}

QImage uprightSRGB(const fs::path& url, int maxPixel) {
    auto reduced = LinearSource::readReduced(url, std::max(maxPixel, 1));
    LinearSource source(reduced, 1, false);
    const int width = source.width();
    const int height = source.height();
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) {
        throw SheetRenderError(SheetRenderErrorCode::cannotCreateImage);
    }
    source.cache({0, width}, {0, height});
    const Colorizer::Conversion& conversion = toSRGB(source);
    std::vector<Pixel> band(static_cast<std::size_t>(width) * bandRows);
    for (int top = 0; top < height; top += bandRows) {
        const int rows = std::min(bandRows, height - top);
        const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(rows);
        source.draw({0, width}, {top, top + rows}, band.data());
        if (conversion.encodesToOwnSpace && source.curves()) {
            SheetRenderer::encode(band.data(), count, band.data(), *source.curves());
        } else {
            SheetRenderer::convertInSlices(conversion.encode, band.data(), band.data(), width, rows);
        }
        for (int y = 0; y < rows; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(top + y));
            const Pixel* from = band.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
            for (int x = 0; x < width; ++x) {
                line[x] = qRgb(byte(from[x].r), byte(from[x].g), byte(from[x].b));
            }
        }
    }
    image.setColorSpace(QColorSpace(QColorSpace::SRgb));
    return image;
}

Loaded load(const fs::path& url) {
    const ImageInfo info = ImageDecoder::probe(url);
    // One large full decode at a time: a folder of big scans must not hold several of them in memory.
    static std::mutex* const largeDecode = new std::mutex;
    std::unique_lock<std::mutex> alone(*largeDecode, std::defer_lock);
    if (info.format != ImageFormat::jpeg && std::int64_t{info.width} * info.height > largePixels) {
        alone.lock();
    }
    const bool swap = Orientation::swapsSides(info.orientation);
    Loaded loaded;
    loaded.url = url;
    loaded.pixelWidth = swap ? info.height : info.width;
    loaded.pixelHeight = swap ? info.width : info.height;
    loaded.thumbnail = uprightSRGB(url, thumbnailPixels);
    return loaded;
}

} // namespace QuilmPrint::PhotoLoader
