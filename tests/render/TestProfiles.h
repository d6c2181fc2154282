// ICC profiles made with Little CMS at test time: matrix-shaper working spaces with their linear forms,
// table-based display and printer profiles, and profiles that cannot be chained with RGB. Shared by the
// render tests, the benchmarks and the measuring tools (header only, so each program can include it).
#pragma once

#include <algorithm>
#include <cmath>
#include <lcms2.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

namespace TestProfiles {

using Context = std::unique_ptr<std::remove_pointer_t<cmsContext>, void (*)(cmsContext)>;

inline Context newContext() {
    Context context(cmsCreateContext(nullptr, nullptr), cmsDeleteContext);
    if (!context) {
        throw std::runtime_error("cannot create a colour context");
    }
    return context;
}

// Saves and closes the profile.
inline std::string save(cmsHPROFILE profile) {
    if (!profile) {
        throw std::runtime_error("profile not made");
    }
    cmsUInt32Number size = 0;
    std::string bytes;
    bool ok = cmsSaveProfileToMem(profile, nullptr, &size) != 0;
    if (ok) {
        bytes.resize(size);
        ok = cmsSaveProfileToMem(profile, bytes.data(), &size) != 0;
    }
    cmsCloseProfile(profile);
    if (!ok) {
        throw std::runtime_error("profile not saved");
    }
    return bytes;
}

inline void describe(cmsHPROFILE profile, const char* text) {
    cmsMLU* mlu = cmsMLUalloc(cmsGetProfileContextID(profile), 1);
    cmsMLUsetASCII(mlu, "en", "US", text);
    cmsWriteTag(profile, cmsSigProfileDescriptionTag, mlu);
    cmsMLUfree(mlu);
}

struct Primaries {
    cmsCIExyY white;
    cmsCIExyYTRIPLE rgb;
};

inline Primaries srgbPrimaries() {
    return {{0.3127, 0.3290, 1.0}, {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}}};
}
inline Primaries adobeRGBPrimaries() {
    return {{0.3127, 0.3290, 1.0}, {{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}}};
}
inline Primaries displayP3Primaries() {
    return {{0.3127, 0.3290, 1.0}, {{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}}};
}
inline Primaries proPhotoPrimaries() {
    return {{0.3457, 0.3585, 1.0}, {{0.7347, 0.2653, 1.0}, {0.1596, 0.8404, 1.0}, {0.0366, 0.0001, 1.0}}};
}

inline double srgbToLinear(double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

// Curves of a matrix-shaper profile: sRGB's as a 1024-entry table (as the common sRGB profile file has it)
// or as its parametric function; a plain gamma (1.0 gives the linear form) as a single exponent or as a
// table of `entries` entries.
enum class Curve { tabulatedSRGB1024, parametricSRGB, gamma, tabulatedGamma };

inline std::string matrixShaper(const Primaries& p, Curve kind, double gamma, double version,
                                const char* name, int entries = 0) {
    Context context = newContext();
    cmsToneCurve* curve = nullptr;
    auto tabulate = [&](int count, auto function) {
        std::vector<cmsUInt16Number> table(static_cast<std::size_t>(count));
        for (std::size_t k = 0; k < table.size(); ++k) {
            double v = function(static_cast<double>(k) / (count - 1));
            table[k] = static_cast<cmsUInt16Number>(std::lround(v * 65535.0));
        }
        return cmsBuildTabulatedToneCurve16(context.get(), static_cast<cmsUInt32Number>(count), table.data());
    };
    switch (kind) {
    case Curve::tabulatedSRGB1024:
        curve = tabulate(1024, srgbToLinear);
        break;
    case Curve::tabulatedGamma:
        curve = tabulate(entries, [gamma](double v) { return std::pow(v, gamma); });
        break;
    case Curve::parametricSRGB: {
        const cmsFloat64Number params[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
        curve = cmsBuildParametricToneCurve(context.get(), 4, params);
        break;
    }
    case Curve::gamma:
        curve = cmsBuildGamma(context.get(), gamma);
        break;
    }
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfileTHR(context.get(), &p.white, &p.rgb, curves);
    cmsFreeToneCurve(curve);
    cmsSetProfileVersion(profile, version);
    describe(profile, name);
    return save(profile);
}

// A working space and its linear form.
struct Space {
    std::string name;
    std::string own;
    std::string linear;
};

inline Space space(const char* name, const Primaries& p, Curve kind, double gamma, double version,
                   int entries = 0) {
    std::string linearName = std::string(name) + " (linear)";
    return {name, matrixShaper(p, kind, gamma, version, name, entries),
            matrixShaper(p, Curve::gamma, 1.0, version, linearName.c_str())};
}

inline Space tabulatedSRGB() {
    return space("sRGB, 1024-entry curves", srgbPrimaries(), Curve::tabulatedSRGB1024, 0, 2.1);
}
inline Space parametricSRGB() {
    return space("sRGB, v4", srgbPrimaries(), Curve::parametricSRGB, 0, 4.3);
}
inline Space adobeRGBLike() {
    return space("Adobe RGB (1998)-like", adobeRGBPrimaries(), Curve::gamma, 563.0 / 256, 2.1);
}
inline Space displayP3() {
    return space("Display P3, v4", displayP3Primaries(), Curve::parametricSRGB, 0, 4.3);
}
// Table-based curves close to linear, as linear-light working spaces often carry them: the engine
// evaluates tables at 16 bits, which puts a few codes just outside the self-check's tolerance.
inline Space tabulatedLinear4096() {
    return space("sRGB primaries, linear, 4096-entry curves", srgbPrimaries(), Curve::tabulatedGamma, 1.0,
                 2.1, 4096);
}
inline Space tabulatedGamma12() {
    return space("sRGB primaries, gamma 1.2, 1024-entry curves", srgbPrimaries(), Curve::tabulatedGamma, 1.2,
                 2.1, 1024);
}
inline Space proPhotoLike() {
    return space("ProPhoto-like", proPhotoPrimaries(), Curve::gamma, 1.8, 2.1);
}

// Fills a CLUT stage by mapping each grid point through `map` (in and out in the stage's 16-bit encoding).
template <typename Map> cmsStage* sampledCLUT(cmsContext context, int gridPoints, Map map) {
    cmsStage* stage =
        cmsStageAllocCLut16bit(context, static_cast<cmsUInt32Number>(gridPoints), 3, 3, nullptr);
    auto sampler = [](const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) -> cmsInt32Number {
        (*static_cast<Map*>(cargo))(in, out);
        return 1;
    };
    cmsStageSampleCLut16bit(stage, sampler, &map, 0);
    return stage;
}

// Identity curves around the table: without them the pipeline cannot be written as a v4 LUT tag.
inline void writeLUT(cmsHPROFILE profile, cmsTagSignature tag, cmsStage* clut) {
    cmsContext context = cmsGetProfileContextID(profile);
    cmsPipeline* lut = cmsPipelineAlloc(context, 3, 3);
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(context, 3, nullptr));
    cmsPipelineInsertStage(lut, cmsAT_END, clut);
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(context, 3, nullptr));
    cmsWriteTag(profile, tag, lut);
    cmsPipelineFree(lut);
}

// A table-based RGB profile (Lab connection space) of the given class whose device values relate to sRGB
// through `toSRGB` (device RGB 0…1 → sRGB 0…1) and `fromSRGB`. With a separate perceptual table, the
// perceptual intent first pulls colours a little towards grey, so that the two intents give different
// results.
template <typename ToSRGB, typename FromSRGB>
std::string lutProfile(cmsProfileClassSignature deviceClass, int gridPoints, ToSRGB toSRGB, FromSRGB fromSRGB,
                       const char* name, bool separatePerceptual = false) {
    Context context = newContext();
    cmsHPROFILE srgb = cmsCreate_sRGBProfileTHR(context.get());
    cmsHPROFILE lab = cmsCreateLab4ProfileTHR(context.get(), nullptr);
    cmsHTRANSFORM rgbToLab = cmsCreateTransformTHR(context.get(), srgb, TYPE_RGB_DBL, lab, TYPE_Lab_DBL,
                                                   INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsHTRANSFORM labToRGB = cmsCreateTransformTHR(context.get(), lab, TYPE_Lab_DBL, srgb, TYPE_RGB_DBL,
                                                   INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsCloseProfile(srgb);
    cmsCloseProfile(lab);

    cmsHPROFILE profile = cmsCreateProfilePlaceholder(context.get());
    cmsSetProfileVersion(profile, 4.3);
    cmsSetDeviceClass(profile, deviceClass);
    cmsSetColorSpace(profile, cmsSigRgbData);
    cmsSetPCS(profile, cmsSigLabData);
    describe(profile, name);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());

    auto forward = [&](const cmsUInt16Number in[], cmsUInt16Number out[]) {
        double device[3] = {in[0] / 65535.0, in[1] / 65535.0, in[2] / 65535.0};
        double rgb[3];
        toSRGB(device, rgb);
        cmsCIELab value;
        cmsDoTransform(rgbToLab, rgb, &value, 1);
        cmsFloat2LabEncoded(out, &value);
    };
    bool compress = false;
    auto backward = [&](const cmsUInt16Number in[], cmsUInt16Number out[]) {
        cmsCIELab value;
        cmsLabEncoded2Float(&value, in);
        double rgb[3];
        cmsDoTransform(labToRGB, &value, rgb, 1);
        if (compress) {
            for (double& c : rgb) {
                c = 0.04 + 0.92 * c;
            }
        }
        double device[3];
        fromSRGB(rgb, device);
        for (int c = 0; c < 3; ++c) {
            out[c] = static_cast<cmsUInt16Number>(
                std::lround(std::fmin(std::fmax(device[c], 0.0), 1.0) * 65535.0));
        }
    };
    writeLUT(profile, cmsSigAToB0Tag, sampledCLUT(context.get(), gridPoints, forward));
    if (separatePerceptual) {
        writeLUT(profile, cmsSigAToB1Tag, sampledCLUT(context.get(), gridPoints, forward));
        writeLUT(profile, cmsSigBToA1Tag, sampledCLUT(context.get(), gridPoints, backward));
        compress = true;
    }
    writeLUT(profile, cmsSigBToA0Tag, sampledCLUT(context.get(), gridPoints, backward));
    cmsDeleteTransform(rgbToLab);
    cmsDeleteTransform(labToRGB);
    return save(profile);
}

// A display profile whose device channels are mixed before they reach the connection space: greys stay
// grey, but its conversion to a linear space is not a curve per channel. (Its way back does not unmix: only
// the way in matters to the tests.)
inline std::string channelMixing(int gridPoints = 17) {
    auto toSRGB = [](const double* d, double* rgb) {
        rgb[0] = 0.70 * d[0] + 0.30 * d[1];
        rgb[1] = 0.15 * d[0] + 0.70 * d[1] + 0.15 * d[2];
        rgb[2] = 0.30 * d[1] + 0.70 * d[2];
    };
    auto fromSRGB = [](const double* rgb, double* d) { std::copy(rgb, rgb + 3, d); };
    return lutProfile(cmsSigDisplayClass, gridPoints, toSRGB, fromSRGB, "Channel-mixing display");
}

// An inkjet-like paper profile: a table-based output profile whose device response is a curve away from
// sRGB, with paper white below 1 and a black that is not 0 (so black-point compensation has work to do).
inline std::string lutPrinter(int gridPoints = 17) {
    auto toSRGB = [](const double* device, double* rgb) {
        for (int c = 0; c < 3; ++c) {
            rgb[c] = 0.05 + 0.9 * std::pow(device[c], 1.15);
        }
    };
    auto fromSRGB = [](const double* rgb, double* device) {
        for (int c = 0; c < 3; ++c) {
            device[c] = std::pow(std::fmax((rgb[c] - 0.05) / 0.9, 0.0), 1 / 1.15);
        }
    };
    return lutProfile(cmsSigOutputClass, gridPoints, toSRGB, fromSRGB, "Test inkjet paper", true);
}

// A greyscale profile: readable, but not a partner for RGB pixels.
inline std::string gray() {
    Context context = newContext();
    cmsToneCurve* curve = cmsBuildGamma(context.get(), 2.2);
    cmsHPROFILE profile = cmsCreateGrayProfileTHR(context.get(), cmsD50_xyY(), curve);
    cmsFreeToneCurve(curve);
    return save(profile);
}

} // namespace TestProfiles
