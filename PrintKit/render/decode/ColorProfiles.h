// The ICC profiles that decoding and the working spaces need besides a photo's own and the process's sRGB
// space (ColorSpace::sRGB): the named Display P3 space, the linear-light form of an RGB space, RGB spaces
// described by primaries and a transfer function (HEIF's colour boxes), and the defaults for photos that
// carry no usable profile. Every profile made here has the same bytes in every call and every run (its date
// is fixed), because those bytes serve as cache keys and are compared.
#pragma once

#include "PrintKit/render/decode/DecodedImage.h"

#include <optional>
#include <string>
#include <string_view>

namespace PrintKit::ColorProfiles {

const std::string& displayP3();

// The same primaries and white point with linear transfer curves; only for RGB profiles built from
// colorants and tone curves (a table-based profile has no such form).
std::optional<std::string> linearized(std::string_view rgbICC);

struct Chromaticity {
    double x = 0;
    double y = 0;
};

enum class Transfer { sRGB, bt709, gamma22, gamma28, linear };

// An RGB display profile from CIE xy primaries and white point.
std::string rgb(Chromaticity red, Chromaticity green, Chromaticity blue, Chromaticity white,
                Transfer transfer);

// Assumed for untagged photos: grey on the sRGB tone curve (so a grey level lands on the same sRGB level),
// CMYK by the plain ink formula red = (1 − cyan)(1 − black) into sRGB, Lab as D50 CIELAB.
const std::string& defaultGray();
const std::string& defaultCMYK();
const std::string& lab();

// The colour model of a profile's device side, or nothing when the bytes are not a profile Little CMS can
// read or its model is none of the four.
std::optional<ColorModel> model(std::string_view icc);

} // namespace PrintKit::ColorProfiles
