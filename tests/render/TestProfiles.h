// ICC profiles made with Little CMS at test time: matrix-shaper working spaces with their linear forms,
// table-based display and printer profiles, and profiles that cannot be chained with RGB. Shared by the
// render tests and the benchmarks (header only, so each program can include it).
#pragma once

#include <algorithm>
#include <cmath>
#include <lcms2.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace TestProfiles {

// Saves and closes the profile.
inline std::string save(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    std::string bytes;
    bool ok = profile && cmsSaveProfileToMem(profile, nullptr, &size);
    if (ok) {
        bytes.resize(size);
        ok = cmsSaveProfileToMem(profile, bytes.data(), &size);
    }
    if (profile) {
        cmsCloseProfile(profile);
    }
    if (!ok) {
        throw std::runtime_error("profile not saved");
    }
    return bytes;
}

inline void describe(cmsHPROFILE profile, const char* text) {
    cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(mlu, "en", "US", text);
    cmsWriteTag(profile, cmsSigProfileDescriptionTag, mlu);
    cmsMLUfree(mlu);
}

struct Primaries {
    cmsCIExyY white;
    cmsCIExyYTRIPLE rgb;
};
inline const Primaries srgbPrimaries{{0.3127, 0.3290, 1.0},
                                     {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}}};
inline const Primaries adobeRGBPrimaries{{0.3127, 0.3290, 1.0},
                                         {{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}}};
inline const Primaries displayP3Primaries{{0.3127, 0.3290, 1.0},
                                          {{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}}};
inline const Primaries proPhotoPrimaries{
    {0.3457, 0.3585, 1.0}, {{0.7347, 0.2653, 1.0}, {0.1596, 0.8404, 1.0}, {0.0366, 0.0001, 1.0}}};

inline double srgbToLinear(double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

// Curves of a matrix-shaper profile: sRGB's as a 1024-entry table (as the common sRGB profile file has it)
// or as its parametric function; a plain gamma (1.0 gives the linear form) as an exponent or as a table.
enum class Curve { tabulatedSRGB1024, parametricSRGB, gamma, tabulatedGamma };

inline std::string matrixShaper(const Primaries& p, Curve kind, double gamma, double version,
                                const char* name, int entries = 0) {
    auto tabulate = [](int count, auto function) {
        std::vector<cmsUInt16Number> table(static_cast<std::size_t>(count));
        for (std::size_t k = 0; k < table.size(); ++k) {
            table[k] = static_cast<cmsUInt16Number>(
                std::lround(function(static_cast<double>(k) / (count - 1)) * 65535.0));
        }
        return cmsBuildTabulatedToneCurve16(nullptr, static_cast<cmsUInt32Number>(count), table.data());
    };
    const cmsFloat64Number srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* curve = kind == Curve::tabulatedSRGB1024 ? tabulate(1024, srgbToLinear)
                          : kind == Curve::tabulatedGamma
                              ? tabulate(entries, [gamma](double v) { return std::pow(v, gamma); })
                          : kind == Curve::parametricSRGB ? cmsBuildParametricToneCurve(nullptr, 4, srgb)
                                                          : cmsBuildGamma(nullptr, gamma);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&p.white, &p.rgb, curves);
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
    return {name, matrixShaper(p, kind, gamma, version, name, entries),
            matrixShaper(p, Curve::gamma, 1.0, version, (std::string(name) + " (linear)").c_str())};
}
inline Space tabulatedSRGB() {
    return space("sRGB, 1024-entry curves", srgbPrimaries, Curve::tabulatedSRGB1024, 0, 2.1);
}
inline Space parametricSRGB() {
    return space("sRGB, v4", srgbPrimaries, Curve::parametricSRGB, 0, 4.3);
}
inline Space adobeRGBLike() {
    return space("Adobe RGB (1998)-like", adobeRGBPrimaries, Curve::gamma, 563.0 / 256, 2.1);
}
inline Space displayP3() {
    return space("Display P3, v4", displayP3Primaries, Curve::parametricSRGB, 0, 4.3);
}
inline Space proPhotoLike() {
    return space("ProPhoto-like", proPhotoPrimaries, Curve::gamma, 1.8, 2.1);
}
// Table-based curves near gamma 1.2: the engine evaluates tables at 16 bits, which puts a few codes just
// outside the tone tables' self-check tolerance.
inline Space tabulatedGamma12() {
    return space("sRGB primaries, gamma 1.2, 1024-entry curves", srgbPrimaries, Curve::tabulatedGamma, 1.2,
                 2.1, 1024);
}

// Fills a CLUT stage by mapping each grid point through `map` (in and out in the stage's 16-bit encoding),
// with the identity curves around it that a v4 LUT tag needs.
template <typename Map> void writeLUT(cmsHPROFILE profile, cmsTagSignature tag, int gridPoints, Map map) {
    cmsStage* clut = cmsStageAllocCLut16bit(nullptr, static_cast<cmsUInt32Number>(gridPoints), 3, 3, nullptr);
    auto sampler = [](const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) -> cmsInt32Number {
        (*static_cast<Map*>(cargo))(in, out);
        return 1;
    };
    cmsStageSampleCLut16bit(clut, sampler, &map, 0);
    cmsPipeline* lut = cmsPipelineAlloc(nullptr, 3, 3);
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsPipelineInsertStage(lut, cmsAT_END, clut);
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(profile, tag, lut);
    cmsPipelineFree(lut);
}

// A table-based RGB profile (Lab connection space) of the given class whose device values relate to sRGB
// through `toSRGB` (device RGB 0…1 → sRGB 0…1) and `fromSRGB`. With a separate perceptual table, the
// perceptual intent first pulls colours a little towards grey, so that the two intents differ. Given the
// bytes of a matrix-shaper profile as `over`, the tables are written into that profile, which keeps its
// colorants and curves beside them (colour engines read the tables first).
template <typename ToSRGB, typename FromSRGB>
std::string lutProfile(cmsProfileClassSignature deviceClass, int gridPoints, ToSRGB toSRGB, FromSRGB fromSRGB,
                       const char* name, bool separatePerceptual = false, const std::string& over = {}) {
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM rgbToLab =
        cmsCreateTransform(srgb, TYPE_RGB_DBL, lab, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsHTRANSFORM labToRGB =
        cmsCreateTransform(lab, TYPE_Lab_DBL, srgb, TYPE_RGB_DBL, INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsCloseProfile(srgb);
    cmsCloseProfile(lab);
    cmsHPROFILE profile = over.empty()
                              ? cmsCreateProfilePlaceholder(nullptr)
                              : cmsOpenProfileFromMem(over.data(), static_cast<cmsUInt32Number>(over.size()));
    cmsSetProfileVersion(profile, 4.3);
    cmsSetDeviceClass(profile, deviceClass);
    cmsSetColorSpace(profile, cmsSigRgbData);
    cmsSetPCS(profile, cmsSigLabData);
    describe(profile, name);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    auto forward = [&](const cmsUInt16Number in[], cmsUInt16Number out[]) {
        double device[3] = {in[0] / 65535.0, in[1] / 65535.0, in[2] / 65535.0}, rgb[3];
        toSRGB(device, rgb);
        cmsCIELab value;
        cmsDoTransform(rgbToLab, rgb, &value, 1);
        cmsFloat2LabEncoded(out, &value);
    };
    auto backward = [&](bool compress) {
        return [&, compress](const cmsUInt16Number in[], cmsUInt16Number out[]) {
            cmsCIELab value;
            cmsLabEncoded2Float(&value, in);
            double rgb[3], device[3];
            cmsDoTransform(labToRGB, &value, rgb, 1);
            for (double& c : rgb) {
                c = compress ? 0.04 + 0.92 * c : c;
            }
            fromSRGB(rgb, device);
            for (int c = 0; c < 3; ++c) {
                out[c] = static_cast<cmsUInt16Number>(std::lround(std::clamp(device[c], 0.0, 1.0) * 65535.0));
            }
        };
    };
    writeLUT(profile, cmsSigAToB0Tag, gridPoints, forward);
    writeLUT(profile, cmsSigBToA0Tag, gridPoints, backward(separatePerceptual));
    if (separatePerceptual) {
        writeLUT(profile, cmsSigAToB1Tag, gridPoints, forward);
        writeLUT(profile, cmsSigBToA1Tag, gridPoints, backward(false));
    }
    cmsDeleteTransform(rgbToLab);
    cmsDeleteTransform(labToRGB);
    return save(profile);
}

// A display profile whose device channels are mixed before they reach the connection space: greys stay
// grey, but its conversion to a linear space is no curve per channel. (Its way back does not unmix.) With a
// matrix-shaper's bytes as `over`, its tables sit beside that profile's own matrix and curves.
inline std::string channelMixing(int gridPoints = 17, const std::string& over = {}) {
    auto toSRGB = [](const double* d, double* rgb) {
        rgb[0] = 0.70 * d[0] + 0.30 * d[1];
        rgb[1] = 0.15 * d[0] + 0.70 * d[1] + 0.15 * d[2];
        rgb[2] = 0.30 * d[1] + 0.70 * d[2];
    };
    auto fromSRGB = [](const double* rgb, double* d) { std::copy(rgb, rgb + 3, d); };
    return lutProfile(cmsSigDisplayClass, gridPoints, toSRGB, fromSRGB, "Channel-mixing display", false,
                      over);
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

// A greyscale profile (gamma 2.2): readable, but not a partner for RGB pixels.
inline std::string gray() {
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
    cmsHPROFILE profile = cmsCreateGrayProfile(cmsD50_xyY(), curve);
    cmsFreeToneCurve(curve);
    return save(profile);
}

// A conversion made straight through Little CMS, for comparison: `count` pixels, or `rows` rows of them
// `inRow` and `outRow` bytes apart.
template <typename Out>
std::vector<Out> convert(const std::string& from, cmsUInt32Number inFormat, const std::string& to,
                         cmsUInt32Number outFormat, cmsUInt32Number intent, bool compensation, const void* in,
                         int count, int rows = 1, std::size_t inRow = 0, std::size_t outRow = 0) {
    cmsHPROFILE a = cmsOpenProfileFromMem(from.data(), static_cast<cmsUInt32Number>(from.size()));
    cmsHPROFILE b = cmsOpenProfileFromMem(to.data(), static_cast<cmsUInt32Number>(to.size()));
    cmsHTRANSFORM t = a && b ? cmsCreateTransform(a, inFormat, b, outFormat, intent,
                                                  compensation ? cmsFLAGS_BLACKPOINTCOMPENSATION : 0)
                             : nullptr;
    if (!t) {
        throw std::runtime_error("no Little CMS transform");
    }
    std::vector<Out> out(outRow ? outRow * static_cast<std::size_t>(rows) / sizeof(Out)
                                : static_cast<std::size_t>(count) * T_CHANNELS(outFormat));
    cmsDoTransformLineStride(t, in, out.data(), static_cast<cmsUInt32Number>(count),
                             static_cast<cmsUInt32Number>(rows), static_cast<cmsUInt32Number>(inRow),
                             static_cast<cmsUInt32Number>(outRow), 0, 0);
    cmsDeleteTransform(t);
    cmsCloseProfile(a);
    cmsCloseProfile(b);
    return out;
}

} // namespace TestProfiles
