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

// Plain ink arithmetic: red, green and blue are the sRGB codes (1 − cyan)(1 − black) and so on.
int sampleInks(const cmsUInt16Number in[], cmsUInt16Number out[], void*) {
    for (int c = 0; c < 3; ++c) {
        const std::uint32_t paper = 65535u - in[c];
        const std::uint32_t white = 65535u - in[3];
        out[c] = static_cast<cmsUInt16Number>((paper * white + 32767u) / 65535u);
    }
    return 1;
}

// Ink amounts → sRGB codes by the formula (a table) → linear light (the sRGB curve) → XYZ (the sRGB
// colorants). Only the codes are tabulated, and they are exact where Little CMS samples the conversion: the
// first input of a four-channel table is interpolated on its own and every code is linear in it, so two
// points suffice there; the other three use 17, the grid Little CMS resamples a CMYK conversion to. A table
// of light or Lab instead would bend between its points, by as much as 3/255 in the shadows.
std::string makeCMYK() {
    Profile srgb(cmsCreate_sRGBProfile());
    Profile profile(cmsCreateProfilePlaceholder(nullptr));
    std::unique_ptr<cmsPipeline, void (*)(cmsPipeline*)> lut(cmsPipelineAlloc(nullptr, 4, 3),
                                                             cmsPipelineFree);
    Curve curve = transferCurve(Transfer::sRGB);
    const auto* red =
        srgb ? static_cast<const cmsCIEXYZ*>(cmsReadTag(srgb.get(), cmsSigRedColorantTag)) : nullptr;
    const auto* green =
        srgb ? static_cast<const cmsCIEXYZ*>(cmsReadTag(srgb.get(), cmsSigGreenColorantTag)) : nullptr;
    const auto* blue =
        srgb ? static_cast<const cmsCIEXYZ*>(cmsReadTag(srgb.get(), cmsSigBlueColorantTag)) : nullptr;
    if (!profile || !lut || !curve || !red || !green || !blue) {
        throw std::runtime_error("a built-in colour profile cannot be made");
    }
    // A version 4 perceptual table takes device black to the perceptual reference black, which Little CMS
    // then scales back to the output's own black, channel by channel towards the D50 white. The matrix
    // applies the inverse of that scaling so that the conversion ends at the formula. Its values are in
    // Little CMS's XYZ encoding, where 1 + 32767/32768 is the top.
    const cmsCIEXYZ& white = *cmsD50_XYZ();
    const double black[3] = {cmsPERCEPTUAL_BLACK_X, cmsPERCEPTUAL_BLACK_Y, cmsPERCEPTUAL_BLACK_Z};
    const double whites[3] = {white.X, white.Y, white.Z};
    const double encoding = 1.0 / (1.0 + 32767.0 / 32768.0);
    const cmsCIEXYZ* colorants[3] = {red, green, blue};
    double matrix[9];
    double offset[3];
    for (int row = 0; row < 3; ++row) {
        const double scale = encoding * (1.0 - black[row] / whites[row]);
        for (int column = 0; column < 3; ++column) {
            const cmsCIEXYZ& c = *colorants[column];
            matrix[3 * row + column] = scale * (row == 0 ? c.X : row == 1 ? c.Y : c.Z);
        }
        offset[row] = encoding * black[row];
    }
    const cmsUInt32Number grid[4] = {2, 17, 17, 17};
    cmsToneCurve* curves[3] = {curve.get(), curve.get(), curve.get()};
    cmsStage* table = cmsStageAllocCLut16bitGranular(nullptr, grid, 4, 3, nullptr);
    if (!table || !cmsStageSampleCLut16bit(table, sampleInks, nullptr, 0) ||
        !cmsPipelineInsertStage(lut.get(), cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, nullptr)) ||
        !cmsPipelineInsertStage(lut.get(), cmsAT_END, table) ||
        !cmsPipelineInsertStage(lut.get(), cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, curves)) ||
        !cmsPipelineInsertStage(lut.get(), cmsAT_END, cmsStageAllocMatrix(nullptr, 3, 3, matrix, offset)) ||
        !cmsPipelineInsertStage(lut.get(), cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr))) {
        throw std::runtime_error("a built-in colour profile cannot be made");
    }
    cmsSetProfileVersion(profile.get(), 4.3);
    cmsSetDeviceClass(profile.get(), cmsSigInputClass);
    cmsSetColorSpace(profile.get(), cmsSigCmykData);
    cmsSetPCS(profile.get(), cmsSigXYZData);
    cmsSetHeaderRenderingIntent(profile.get(), INTENT_PERCEPTUAL);
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
