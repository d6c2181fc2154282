// A colour space as the engine passes it around: its ICC profile bytes and a name for messages. The bytes
// are what counts: they are embedded in print files and used as cache keys.
#pragma once

#include <string>

namespace PrintKit {

struct ColorSpace {
    std::string name; // empty when the space has no name
    std::string icc;  // the ICC profile; empty when the space carries none

    // The process's sRGB space, made once. Its bytes are the same in every run (the profile's creation date
    // is fixed), so files and caches keyed by them stay stable. Throws ColorTransformError
    // (unreadableProfile, "sRGB") when it cannot be made.
    static const ColorSpace& sRGB();

    friend bool operator==(const ColorSpace&, const ColorSpace&) = default;
};

} // namespace PrintKit
