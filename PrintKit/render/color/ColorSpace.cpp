#include "PrintKit/render/color/ColorSpace.h"

#include "PrintKit/render/color/ColorTransform.h"

#include <cstdint>
#include <lcms2.h>
#include <memory>
#include <type_traits>

namespace PrintKit {

namespace {

void ignoreColorEngineMessage(cmsContext, cmsUInt32Number, const char*) {}

// The creation date written into the header of the process's sRGB profile: 2000-01-01 00:00:00 UTC, in the
// header's big-endian year, month, day, hours, minutes, seconds.
constexpr std::uint8_t fixedCreationDate[12] = {0x07, 0xD0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0};
constexpr std::size_t creationDateOffset = 24;
constexpr std::size_t profileIDOffset = 84;
constexpr std::size_t profileIDSize = 16;

std::string makeSRGB() {
    std::unique_ptr<std::remove_pointer_t<cmsContext>, void (*)(cmsContext)> context(
        cmsCreateContext(nullptr, nullptr), cmsDeleteContext);
    if (!context) {
        throw ColorTransformError(ColorTransformErrorCode::unreadableProfile, "sRGB");
    }
    cmsSetLogErrorHandlerTHR(context.get(), ignoreColorEngineMessage);
    std::unique_ptr<void, cmsBool (*)(cmsHPROFILE)> profile(cmsCreate_sRGBProfileTHR(context.get()),
                                                            cmsCloseProfile);
    cmsUInt32Number size = 0;
    if (!profile || !cmsSaveProfileToMem(profile.get(), nullptr, &size) || size < 128) {
        throw ColorTransformError(ColorTransformErrorCode::unreadableProfile, "sRGB");
    }
    std::string bytes(size, '\0');
    if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &size) || size != bytes.size()) {
        throw ColorTransformError(ColorTransformErrorCode::unreadableProfile, "sRGB");
    }
    // The engine stamps the current time into the header, which would make the bytes (and everything keyed
    // by them) differ from run to run. A profile ID would be a digest over the date, so it is cleared
    // (zero means "not computed") rather than left to contradict the new date.
    for (std::size_t i = 0; i < sizeof fixedCreationDate; ++i) {
        bytes[creationDateOffset + i] = static_cast<char>(fixedCreationDate[i]);
    }
    for (std::size_t i = 0; i < profileIDSize; ++i) {
        bytes[profileIDOffset + i] = '\0';
    }
    return bytes;
}

} // namespace

const ColorSpace& ColorSpace::sRGB() {
    // A failed attempt throws out of the initialiser and is tried again on the next call.
    static const ColorSpace space{"sRGB", makeSRGB()};
    return space;
}

} // namespace PrintKit
