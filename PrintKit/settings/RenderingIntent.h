// How colours outside the paper's gamut are brought into it when the application manages colour.
#pragma once

#include "PrintKit/support/RawValue.h"

#include <utility>

namespace PrintKit {

enum class RenderingIntent { perceptual, relativeColorimetric };

template <>
struct RawValues<RenderingIntent> {
    static constexpr std::array<std::pair<RenderingIntent, std::string_view>, 2> table{{
        {RenderingIntent::perceptual, "perceptual"},
        {RenderingIntent::relativeColorimetric, "relativeColorimetric"},
    }};
};

} // namespace PrintKit
