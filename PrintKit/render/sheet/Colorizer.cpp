#include "PrintKit/render/sheet/Colorizer.h"

#include "PrintKit/render/resample/LanczosResampler.h"
#include "PrintKit/render/sheet/LinearSource.h"
#include "PrintKit/render/decode/SheetRenderError.h"
#include "PrintKit/render/sheet/SheetRenderer.h"
#include "PrintKit/support/FileIO.h"

#include <limits>

namespace PrintKit {

namespace {

// No ICC profile comes near this; a larger "profile" is refused before it is read into memory.
constexpr std::uint64_t largestProfile = std::uint64_t{1} << 30;

// k transforms with the same arguments, built side by side: a table-based paper profile with black-point
// compensation takes tens of milliseconds per transform, and a render waits for all of them.
Colorizer::Transforms transforms(int k, const std::string& from, const std::string& to,
                                 RenderingIntent intent, bool blackPointCompensation) {
    Colorizer::Transforms list(static_cast<std::size_t>(k));
    LanczosResampler::parallel(k, [&](int i) {
        list[static_cast<std::size_t>(i)] =
            std::make_shared<const ColorTransform>(from, to, intent, blackPointCompensation);
    });
    return list;
}

} // namespace

const ColorSpace& Colorizer::sRGB() {
    return ColorSpace::sRGB();
}

const Colorizer::Conversion& Colorizer::conversion(const LinearSource& source) {
    return conversion(source.space(), source.linearSpace());
}

const Colorizer::Conversion& Colorizer::conversion(const ColorSpace& own, const ColorSpace& linear) {
    const ColorSpace& srgb = sRGB();
    if (linear.icc.empty() || own.icc.empty() || srgb.icc.empty()) {
        throw SheetRenderError(SheetRenderErrorCode::cannotCreateImage);
    }
    auto key = std::make_pair(linear.icc, own.icc);
    if (auto found = cache_.find(key); found != cache_.end()) {
        return found->second;
    }
    const int k = SheetRenderer::conversionWorkers();
    Conversion conversion;
    if (color_.kind == SheetColor::Kind::sRGB) {
        conversion.encode = transforms(k, linear.icc, srgb.icc, RenderingIntent::relativeColorimetric, false);
        conversion.encodesToOwnSpace = own.icc == srgb.icc;
    } else {
        std::string profile;
        try {
            profile = FileIO::readFile(color_.profile, largestProfile);
        } catch (const std::exception&) {
            // What went wrong with the file matters less to the user than which file it was.
            throw ColorTransformError(ColorTransformErrorCode::unreadableProfile, color_.profile.string());
        }
        conversion.encode = transforms(k, linear.icc, own.icc, RenderingIntent::relativeColorimetric, false);
        conversion.paper = transforms(k, own.icc, profile, color_.intent, color_.blackPointCompensation);
        conversion.encodesToOwnSpace = true;
    }
    return cache_.emplace(std::move(key), std::move(conversion)).first->second;
}

} // namespace PrintKit
