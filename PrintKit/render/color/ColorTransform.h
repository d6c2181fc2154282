// The engine's one wrapper around a colour conversion between two ICC profiles: the source profile's
// device-to-connection-space step followed by the destination's connection-space-to-device step, with one
// rendering intent and black-point-compensation setting. Little CMS does the work, in a context of the
// object's own (its messages silenced: the program writes no log). Float conversions from a linear
// matrix-shaper space to another matrix-shaper space are the exception: unless asked not to, they run
// through MatrixShaper's matrices and tone tables, faster and within a small fraction of a 16-bit code.
#pragma once

#include "PrintKit/render/color/ColorSpace.h"
#include "PrintKit/settings/RenderingIntent.h"
#include "PrintKit/support/Error.h"
#include "PrintKit/support/Pixel.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace PrintKit {

enum class ColorTransformErrorCode {
    unreadableProfile, // detail: which profile ("원본", "용지", "sRGB", a space's name, a file's path)
    cannotCreateTransform, // two readable profiles that cannot be chained
    conversionFailed,
};

std::string errorMessage(ColorTransformErrorCode code, const std::string& detail);

using ColorTransformError = ServiceError<ColorTransformErrorCode>;

class ColorTransform {
public:
    // The pixel layout of the float conversion: red, green, blue and a fourth value that is neither read nor
    // written (a destination keeps whatever its fourth value held).
    enum class Layout { floatRGBA };

    // How float conversions are evaluated: faster where the two profiles allow it, or always by Little CMS
    // itself, for values that must be the engine's to the last bit (tables measured against it).
    enum class Evaluation { fast, exact };

    // From the bytes of two ICC profiles. The float conversion is built here, so a pair that cannot be
    // chained fails now rather than in the middle of a render.
    ColorTransform(std::string_view sourceICC, std::string_view destinationICC, RenderingIntent intent,
                   bool blackPointCompensation, Evaluation evaluation = Evaluation::fast);
    // From a colour space (its ICC bytes are the source) to the profile file at destinationProfile.
    ColorTransform(const ColorSpace& source, const std::filesystem::path& destinationProfile,
                   RenderingIntent intent, bool blackPointCompensation);
    // From the process's sRGB space to the profile file.
    static ColorTransform fromSRGB(const std::filesystem::path& destinationProfile, RenderingIntent intent,
                                   bool blackPointCompensation);

    ColorTransform(ColorTransform&&) noexcept;
    ColorTransform& operator=(ColorTransform&&) noexcept;
    ~ColorTransform();

    // width × height float pixels, rows packed; source and destination may be the same memory.
    void convert(const Pixel* source, Layout sourceLayout, Pixel* destination, Layout destinationLayout,
                 int width, int height) const;

    // width × height 16-bit pixels: the source is red, green, blue (and a fourth, ignored value when
    // sourceHasPadding) in little-endian order; the destination is red, green, blue in big- or little-endian
    // order as asked. Rows are packed. The destination may be the source's memory.
    void convert(const std::uint16_t* source, bool sourceHasPadding, std::uint16_t* destination,
                 bool destinationBigEndian, int width, int height) const;

    // 8-bit colours (values clamped to 0…255 after scaling by 257) to colours on the same 0…255 scale,
    // converted at 16 bits.
    std::vector<std::array<double, 3>> convert(const std::vector<std::array<int, 3>>& rgb8) const;

    // Every conversion is safe to call from several threads at once; the 16-bit ones are built on first use.

    // Whether float conversions run through MatrixShaper's matrices and tone tables rather than Little CMS.
    bool evaluatesItself() const;

private:
    struct Engine;
    explicit ColorTransform(std::unique_ptr<Engine> engine);
    std::unique_ptr<Engine> engine_;
};

} // namespace PrintKit
