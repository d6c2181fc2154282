// Reference answers for the engine's colour conversion: 16-bit sRGB colours converted to every listed
// profile with every rendering intent, with and without black-point compensation, through the same
// two-step transform that prints use (ColorTransform). Outside tools compare these answers across builds and
// platforms; the application never calls this.
#pragma once

#include "PrintKit/settings/RenderingIntent.h"
#include "PrintKit/support/Error.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace PrintKit {

enum class ColorGoldenErrorCode {
    invalidCase, // detail: which value of the request is unusable
};

std::string errorMessage(ColorGoldenErrorCode code, const std::string& detail);
using ColorGoldenError = ServiceError<ColorGoldenErrorCode>;

namespace ColorGolden {

// The request: {"colors": [[r, g, b], …], "profiles": [path, …]}. Each colour is at least three 16-bit
// values; values after the third are ignored.
struct Cases {
    std::vector<std::vector<std::uint16_t>> colors;
    std::vector<std::string> profiles;

    friend bool operator==(const Cases&, const Cases&) = default;
};

// The colours converted with one setting: {"profile", "intent", "blackPointCompensation", "colors"}.
struct Answer {
    std::string profile; // as the request gave it
    RenderingIntent intent = RenderingIntent::perceptual;
    bool blackPointCompensation = true;
    std::vector<std::array<std::uint16_t, 3>> colors; // device values, in request order

    friend bool operator==(const Answer&, const Answer&) = default;
};

// The request's JSON in, a compact JSON array of answers out (members in the order above): for each profile
// in request order, perceptual then relative colorimetric, each with compensation on and then off. Errors:
// the JSON layer's (nlohmann::json::exception) for a request that does not decode, whole numbers that are
// no 16-bit values included; ColorGoldenError for a colour of fewer than three values; the file-reading
// error (std::system_error) for a profile file that cannot be read; ColorTransformError: unreadableProfile
// ("용지") for bytes that are no profile, cannotCreateTransform for a profile the transform cannot serve (a
// grey one, say) or a missing sRGB profile, conversionFailed for a failed conversion. Any error ends the
// call: there are no partial answers.
std::string answers(std::string_view cases);

} // namespace ColorGolden

} // namespace PrintKit
