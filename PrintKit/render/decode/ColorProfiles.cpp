#include "PrintKit/render/decode/ColorProfiles.h"

#include <cstdint>
#include <lcms2.h>
#include <memory>
#include <stdexcept>

namespace PrintKit::ColorProfiles {

namespace {

struct ProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

struct CurveFreer {
    void operator()(cmsToneCurve* curve) const { cmsFreeToneCurve(curve); }
};
using Curve = std::unique_ptr<cmsToneCurve, CurveFreer>;

// The header's creation date (2000-01-01 00:00:00) and a cleared profile ID: the engine would otherwise
// stamp the current time, and the ID is a digest over it.
void fixHeader(std::string& bytes) {
    static constexpr std::uint8_t date[12] = {0x07, 0xD0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0};
    for (std::size_t i = 0; i < sizeof date; ++i) {
        bytes[24 + i] = static_cast<char>(date[i]);
    }
    for (std::size_t i = 84; i < 100; ++i) {
        bytes[i] = '\0';
    }
}

std::optional<std::string> save(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    if (!profile || !cmsSaveProfileToMem(profile, nullptr, &size) || size < 128) {
        return std::nullopt;
    }
    std::string bytes(size, '\0');
    if (!cmsSaveProfileToMem(profile, bytes.data(), &size) || size != bytes.size()) {
        return std::nullopt;
    }
    fixHeader(bytes);
    return bytes;
}

std::string saveOrThrow(cmsHPROFILE profile) {
    auto bytes = save(profile);
    if (!bytes) {
        throw std::runtime_error("a built-in colour profile cannot be made");
    }
    return *bytes;
}

void describe(cmsHPROFILE profile, const char* text) {
    cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
    if (mlu) {
        cmsMLUsetASCII(mlu, "en", "US", text);
        cmsWriteTag(profile, cmsSigProfileDescriptionTag, mlu);
        cmsMLUfree(mlu);
    }
}

Curve transferCurve(Transfer transfer) {
    switch (transfer) {
    case Transfer::sRGB: {
        const cmsFloat64Number p[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
        return Curve(cmsBuildParametricToneCurve(nullptr, 4, p));
    }
    case Transfer::bt709: {
        // The inverse of the camera encoding of BT.709 (gamma 0.45 with a linear toe).
        const cmsFloat64Number p[5] = {1.0 / 0.45, 1.0 / 1.099, 0.099 / 1.099, 1.0 / 4.5, 0.081};
        return Curve(cmsBuildParametricToneCurve(nullptr, 4, p));
    }
    case Transfer::gamma22:
        return Curve(cmsBuildGamma(nullptr, 2.2));
    case Transfer::gamma28:
        return Curve(cmsBuildGamma(nullptr, 2.8));
    case Transfer::linear:
        return Curve(cmsBuildGamma(nullptr, 1.0));
    }
    return Curve(cmsBuildGamma(nullptr, 1.0));
}

Profile rgbProfile(Chromaticity red, Chromaticity green, Chromaticity blue, Chromaticity white,
                   Transfer transfer, const char* description) {
    cmsCIExyY whitePoint{white.x, white.y, 1.0};
    cmsCIExyYTRIPLE primaries{{red.x, red.y, 1.0}, {green.x, green.y, 1.0}, {blue.x, blue.y, 1.0}};
    Curve curve = transferCurve(transfer);
    if (!curve) {
        return nullptr;
    }
    cmsToneCurve* curves[3] = {curve.get(), curve.get(), curve.get()};
    Profile profile(cmsCreateRGBProfile(&whitePoint, &primaries, curves));
    if (profile) {
        describe(profile.get(), description);
    }
    return profile;
}

std::string makeDisplayP3() {
    Profile profile = rgbProfile({0.680, 0.320}, {0.265, 0.690}, {0.150, 0.060}, {0.3127, 0.3290},
                                 Transfer::sRGB, "Display P3");
    return saveOrThrow(profile.get());
}

std::string makeGray() {
    Curve curve = transferCurve(Transfer::sRGB);
    Profile profile(curve ? cmsCreateGrayProfile(cmsD50_xyY(), curve.get()) : nullptr);
    if (profile) {
        describe(profile.get(), "Gray (sRGB tone curve)");
    }
    return saveOrThrow(profile.get());
}

// Plain ink arithmetic into sRGB, then to the Lab connection space.
int sampleCMYK(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) {
    auto transform = static_cast<cmsHTRANSFORM>(cargo);
    auto ink = [&](int channel) {
        std::uint32_t paper = 65535u - in[channel];
        std::uint32_t white = 65535u - in[3];
        return static_cast<cmsUInt16Number>((paper * white + 32767u) / 65535u);
    };
    cmsUInt16Number rgb[3] = {ink(0), ink(1), ink(2)};
    cmsDoTransform(transform, rgb, out, 1);
    return 1;
}

std::string makeCMYK() {
    Profile srgb(cmsCreate_sRGBProfile());
    Profile labProfile(cmsCreateLab4Profile(nullptr));
    std::unique_ptr<void, void (*)(cmsHTRANSFORM)> toLab(
        srgb && labProfile ? cmsCreateTransform(srgb.get(), TYPE_RGB_16, labProfile.get(), TYPE_Lab_16,
                                                INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOCACHE)
                           : nullptr,
        cmsDeleteTransform);
    Profile profile(cmsCreateProfilePlaceholder(nullptr));
    std::unique_ptr<cmsPipeline, void (*)(cmsPipeline*)> lut(cmsPipelineAlloc(nullptr, 4, 3),
                                                             cmsPipelineFree);
    if (!toLab || !profile || !lut) {
        throw std::runtime_error("a built-in colour profile cannot be made");
    }
    cmsSetProfileVersion(profile.get(), 4.3);
    cmsSetDeviceClass(profile.get(), cmsSigInputClass);
    cmsSetColorSpace(profile.get(), cmsSigCmykData);
    cmsSetPCS(profile.get(), cmsSigLabData);
    cmsSetHeaderRenderingIntent(profile.get(), INTENT_PERCEPTUAL);
    cmsStage* clut = cmsStageAllocCLut16bit(nullptr, 11, 4, 3, nullptr);
    if (!clut || !cmsStageSampleCLut16bit(clut, sampleCMYK, toLab.get(), 0) ||
        !cmsPipelineInsertStage(lut.get(), cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, nullptr)) ||
        !cmsPipelineInsertStage(lut.get(), cmsAT_END, clut) ||
        !cmsPipelineInsertStage(lut.get(), cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr))) {
        throw std::runtime_error("a built-in colour profile cannot be made");
    }
    describe(profile.get(), "CMYK (plain ink formula)");
    cmsWriteTag(profile.get(), cmsSigMediaWhitePointTag, cmsD50_XYZ());
    if (!cmsWriteTag(profile.get(), cmsSigAToB0Tag, lut.get())) {
        throw std::runtime_error("a built-in colour profile cannot be made");
    }
    return saveOrThrow(profile.get());
}

std::string makeLab() {
    Profile profile(cmsCreateLab4Profile(nullptr));
    return saveOrThrow(profile.get());
}

} // namespace

const std::string& displayP3() {
    static const std::string bytes = makeDisplayP3();
    return bytes;
}

const std::string& defaultGray() {
    static const std::string bytes = makeGray();
    return bytes;
}

const std::string& defaultCMYK() {
    static const std::string bytes = makeCMYK();
    return bytes;
}

const std::string& lab() {
    static const std::string bytes = makeLab();
    return bytes;
}

std::optional<std::string> linearized(std::string_view rgbICC) {
    if (rgbICC.empty() || rgbICC.size() > 0xFFFFFFFFu) {
        return std::nullopt;
    }
    Profile own(cmsOpenProfileFromMem(rgbICC.data(), static_cast<cmsUInt32Number>(rgbICC.size())));
    if (!own || cmsGetColorSpace(own.get()) != cmsSigRgbData || !cmsIsMatrixShaper(own.get())) {
        return std::nullopt;
    }
    auto* red = static_cast<cmsCIEXYZ*>(cmsReadTag(own.get(), cmsSigRedColorantTag));
    auto* green = static_cast<cmsCIEXYZ*>(cmsReadTag(own.get(), cmsSigGreenColorantTag));
    auto* blue = static_cast<cmsCIEXYZ*>(cmsReadTag(own.get(), cmsSigBlueColorantTag));
    if (!red || !green || !blue) {
        return std::nullopt;
    }
    Profile linear(cmsCreateProfilePlaceholder(nullptr));
    Curve identity(cmsBuildGamma(nullptr, 1.0));
    if (!linear || !identity) {
        return std::nullopt;
    }
    cmsSetProfileVersion(linear.get(), 4.3);
    cmsSetDeviceClass(linear.get(), cmsSigDisplayClass);
    cmsSetColorSpace(linear.get(), cmsSigRgbData);
    cmsSetPCS(linear.get(), cmsSigXYZData);
    cmsSetHeaderRenderingIntent(linear.get(), INTENT_PERCEPTUAL);
    describe(linear.get(), "Linear RGB");
    // The colorants (already adapted to the connection space's D50), the white point and the adaptation
    // matrix are copied as they are: the linear form then shares the own profile's matrix exactly, and the
    // two differ only in their tone curves.
    bool written = cmsWriteTag(linear.get(), cmsSigRedColorantTag, red) &&
                   cmsWriteTag(linear.get(), cmsSigGreenColorantTag, green) &&
                   cmsWriteTag(linear.get(), cmsSigBlueColorantTag, blue) &&
                   cmsWriteTag(linear.get(), cmsSigRedTRCTag, identity.get()) &&
                   cmsWriteTag(linear.get(), cmsSigGreenTRCTag, identity.get()) &&
                   cmsWriteTag(linear.get(), cmsSigBlueTRCTag, identity.get());
    auto* white = static_cast<cmsCIEXYZ*>(cmsReadTag(own.get(), cmsSigMediaWhitePointTag));
    written = written && cmsWriteTag(linear.get(), cmsSigMediaWhitePointTag, white ? white : cmsD50_XYZ());
    if (auto* adaptation =
            static_cast<cmsFloat64Number*>(cmsReadTag(own.get(), cmsSigChromaticAdaptationTag))) {
        written = written && cmsWriteTag(linear.get(), cmsSigChromaticAdaptationTag, adaptation);
    }
    if (!written) {
        return std::nullopt;
    }
    return save(linear.get());
}

std::string rgb(Chromaticity red, Chromaticity green, Chromaticity blue, Chromaticity white,
                Transfer transfer) {
    Profile profile = rgbProfile(red, green, blue, white, transfer, "RGB");
    return saveOrThrow(profile.get());
}

std::optional<ColorModel> model(std::string_view icc) {
    if (icc.empty() || icc.size() > 0xFFFFFFFFu) {
        return std::nullopt;
    }
    Profile profile(cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size())));
    if (!profile) {
        return std::nullopt;
    }
    if (!cmsIsIntentSupported(profile.get(), INTENT_RELATIVE_COLORIMETRIC, LCMS_USED_AS_INPUT) &&
        !cmsIsIntentSupported(profile.get(), INTENT_PERCEPTUAL, LCMS_USED_AS_INPUT)) {
        return std::nullopt;
    }
    switch (cmsGetColorSpace(profile.get())) {
    case cmsSigGrayData:
        return ColorModel::gray;
    case cmsSigRgbData:
        return ColorModel::rgb;
    case cmsSigCmykData:
        return ColorModel::cmyk;
    case cmsSigLabData:
        return ColorModel::lab;
    default:
        return std::nullopt;
    }
}

} // namespace PrintKit::ColorProfiles
