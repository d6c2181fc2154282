// The colour plan of one sheet: for every working space a photo of the sheet brings, the transforms that
// encode its resampled linear light into the printed space (sRGB, or the photo's own space on the way to
// the paper) and, for paper, from the photo's own space to the paper profile. Built once per space per
// sheet and shared by every image of the sheet; never shared between sheets.
#pragma once

#include "PrintKit/render/color/ColorSpace.h"
#include "PrintKit/render/color/ColorTransform.h"
#include "PrintKit/render/color/SheetColor.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace PrintKit {

class LinearSource;

class Colorizer {
public:
    using Transforms = std::vector<std::shared_ptr<const ColorTransform>>;

    struct Conversion {
        // Linear working space to the encoding target; one member per conversion worker.
        Transforms encode;
        // Paper only: the photo's own space to the paper profile; as many members as encode.
        std::optional<Transforms> paper;
        // The encoding target is the photo's own space, so its tone tables may encode instead.
        bool encodesToOwnSpace = false;
    };

    explicit Colorizer(SheetColor color) : color_(std::move(color)) {}
    Colorizer(const Colorizer&) = delete;
    Colorizer& operator=(const Colorizer&) = delete;

    const SheetColor& color() const { return color_; }

    // The conversion for the source's working space, built on the first request for that space. Throws
    // SheetRenderError (cannotCreateImage) for a space without ICC bytes, ColorTransformError
    // (unreadableProfile with the path) for a paper profile that cannot be read, or the error of a transform
    // that cannot be built; nothing is kept from a failed build.
    const Conversion& conversion(const LinearSource& source);
    // The same for a working space given by its own and its linear-light ICC bytes.
    const Conversion& conversion(const ColorSpace& own, const ColorSpace& linear);

    // How many conversions were built so far (one per distinct working space).
    std::size_t builtConversions() const { return cache_.size(); }

    // The process's sRGB space, the target of driver-managed sheets.
    static const ColorSpace& sRGB();

private:
    SheetColor color_;
    // Keyed by the linear form's bytes and the photo's own profile bytes: spaces that share primaries share
    // a linear form, but their own tone curves still decide the encoding and the paper conversion.
    std::map<std::pair<std::string, std::string>, Conversion> cache_;
};

} // namespace PrintKit
