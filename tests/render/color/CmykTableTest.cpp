// The painting of CMYK photos against Little CMS's own conversion, code for code: the interpolation on its
// own, and whole transforms of 8- and 16-bit pixels, through smooth profiles and through tables so steep that
// Little CMS's 32-bit arithmetic runs over.
#include "PrintKit/render/color/CmykTable.h"

#include "PrintKit/render/color/ColorSpace.h"
#include "PrintKit/render/decode/ColorProfiles.h"
#include "TestProfiles.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

using namespace PrintKit;

namespace {

// A table of four inputs and three outputs with `points` nodes along each axis, random codes in its nodes.
cmsStage* randomTable(const std::array<cmsUInt32Number, 4>& points, std::uint32_t seed) {
    std::size_t nodes = 3;
    for (cmsUInt32Number p : points) {
        nodes *= p;
    }
    std::vector<cmsUInt16Number> codes(nodes);
    std::mt19937 random(seed);
    for (auto& c : codes) {
        c = static_cast<cmsUInt16Number>(random());
    }
    return cmsStageAllocCLut16bitGranular(nullptr, points.data(), 4, 3, codes.data());
}

// Inputs every combination of the range's ends and the codes beside them, then random ones.
std::vector<std::array<std::uint16_t, 4>> inputs(std::size_t count, bool bytes, std::uint32_t seed) {
    std::vector<std::array<std::uint16_t, 4>> all;
    const std::uint16_t edges[] = {0, 257, 0x7F7F, 0x8080, 0xFEFE, 0xFFFF};
    for (auto k : edges)
        for (auto c : edges)
            for (auto m : edges)
                for (auto y : edges) {
                    all.push_back({k, c, m, y});
                }
    std::mt19937 random(seed);
    while (all.size() < count) {
        std::array<std::uint16_t, 4> in{};
        for (auto& v : in) {
            v = bytes ? static_cast<std::uint16_t>((random() & 0xFF) * 257)
                      : static_cast<std::uint16_t>(random());
        }
        all.push_back(in);
    }
    return all;
}

// A device link from CMYK to RGB through a random table, as bytes.
std::string randomLink(std::uint32_t seed) {
    cmsHPROFILE link = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(link, 4.3);
    cmsSetDeviceClass(link, cmsSigLinkClass);
    cmsSetColorSpace(link, cmsSigCmykData);
    cmsSetPCS(link, cmsSigRgbData);
    cmsPipeline* lut = cmsPipelineAlloc(nullptr, 4, 3);
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, nullptr));
    cmsPipelineInsertStage(lut, cmsAT_END, randomTable({9, 9, 9, 9}, seed));
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(link, cmsSigAToB0Tag, lut);
    cmsPipelineFree(lut);
    return TestProfiles::save(link);
}

// A conversion made in a context with the plug-in (whose transforms all use `intent`), or without it.
struct Conversion {
    cmsContext context = nullptr;
    cmsHTRANSFORM transform = nullptr;

    Conversion(const std::vector<std::string>& profiles, cmsUInt32Number in, cmsUInt32Number out,
               cmsUInt32Number intent, cmsUInt32Number flags, bool plugIn, void* contextData) {
        context = cmsCreateContext(plugIn ? CmykTable::plugin() : nullptr, contextData);
        std::vector<cmsHPROFILE> handles;
        for (const auto& p : profiles) {
            handles.push_back(
                cmsOpenProfileFromMemTHR(context, p.data(), static_cast<cmsUInt32Number>(p.size())));
        }
        transform = cmsCreateMultiprofileTransformTHR(
            context, handles.data(), static_cast<cmsUInt32Number>(handles.size()), in, out, intent, flags);
        for (cmsHPROFILE h : handles) {
            cmsCloseProfile(h);
        }
    }
    Conversion(const Conversion&) = delete;
    Conversion& operator=(const Conversion&) = delete;
    ~Conversion() {
        cmsDeleteTransform(transform);
        cmsDeleteContext(context);
    }

    // Pixels of four samples and an extra one, in rows of 997, into a destination that starts with a
    // pattern (so that what is left alone shows).
    template <typename T>
    std::vector<T> convert(const std::vector<std::array<std::uint16_t, 4>>& pixels) const {
        std::vector<T> in, out(pixels.size() * 4);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            for (std::uint16_t v : pixels[i]) {
                in.push_back(static_cast<T>(sizeof(T) == 1 ? v >> 8 : v));
            }
            in.push_back(static_cast<T>(i * 37));
            out[4 * i + 3] = static_cast<T>(i * 11 + 5);
        }
        for (std::size_t at = 0; at < pixels.size(); at += 997) {
            const auto n = static_cast<cmsUInt32Number>(std::min<std::size_t>(997, pixels.size() - at));
            cmsDoTransform(transform, in.data() + 5 * at, out.data() + 4 * at, n);
        }
        return out;
    }
};

} // namespace

TEST(CmykTableTest, InterpolatesAsLittleCMSDoesInTablesOfAnyShape) {
    const std::array<cmsUInt32Number, 4> shapes[] = {
        {17, 17, 17, 17}, {2, 2, 2, 2}, {5, 9, 17, 3}, {33, 3, 7, 11}};
    std::uint32_t seed = 1;
    for (const auto& shape : shapes) {
        cmsStage* table = randomTable(shape, seed++);
        const auto* data = static_cast<const _cmsStageCLutData*>(cmsStageData(table));
        const cmsInterpParams& params = *data->Params;
        for (const auto& in : inputs(300000, false, seed++)) {
            std::array<std::uint16_t, 3> ours{}, theirs{};
            CmykTable::interpolate(in.data(), ours.data(), params);
            params.Interpolation.Lerp16(in.data(), theirs.data(), &params);
            ASSERT_EQ(ours, theirs) << shape[0] << "×" << shape[1] << "×" << shape[2] << "×" << shape[3]
                                    << " at " << in[0] << "," << in[1] << "," << in[2] << "," << in[3];
        }
        cmsStageFree(table);
    }
}

TEST(CmykTableTest, ConvertsPixelsToLittleCMSsOwnCodes) {
    const std::string& cmyk = ColorProfiles::defaultCMYK();
    const std::string& srgb = ColorSpace::sRGB().icc;
    struct Case {
        const char* name;
        std::vector<std::string> profiles;
        cmsUInt32Number intent;
        cmsUInt32Number flags;
    };
    const Case cases[] = {
        {"CMYK to sRGB, perceptual", {cmyk, srgb}, INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE | cmsFLAGS_COPY_ALPHA},
        {"CMYK to Adobe RGB, relative",
         {cmyk, TestProfiles::adobeRGBLike().own},
         INTENT_RELATIVE_COLORIMETRIC,
         0},
        {"CMYK to sRGB, absolute", {cmyk, srgb}, INTENT_ABSOLUTE_COLORIMETRIC, cmsFLAGS_COPY_ALPHA},
        {"steep table", {randomLink(7)}, INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE | cmsFLAGS_COPY_ALPHA},
        {"another steep table", {randomLink(8)}, INTENT_PERCEPTUAL, 0},
    };
    for (const auto& c : cases) {
        for (bool deep : {false, true}) {
            const cmsUInt32Number in = deep ? TYPE_CMYK_16 | EXTRA_SH(1) : TYPE_CMYK_8 | EXTRA_SH(1);
            const cmsUInt32Number out = deep ? TYPE_RGBA_16 : TYPE_RGBA_8;
            Conversion fast(c.profiles, in, out, c.intent, c.flags, true, CmykTable::contextData(c.intent));
            Conversion exact(c.profiles, in, out, c.intent, c.flags, false, nullptr);
            ASSERT_TRUE(CmykTable::evaluates(fast.transform)) << c.name;
            ASSERT_FALSE(CmykTable::evaluates(exact.transform)) << c.name;
            const auto pixels = inputs(200000, !deep, deep ? 11 : 12);
            if (deep) {
                EXPECT_EQ(fast.convert<std::uint16_t>(pixels), exact.convert<std::uint16_t>(pixels))
                    << c.name;
            } else {
                EXPECT_EQ(fast.convert<std::uint8_t>(pixels), exact.convert<std::uint8_t>(pixels)) << c.name;
            }
        }
    }
}

TEST(CmykTableTest, LeavesToLittleCMSWhatItDoesNotReproduce) {
    const std::vector<std::string> profiles = {ColorProfiles::defaultCMYK(), ColorSpace::sRGB().icc};
    const cmsUInt32Number cmyk = TYPE_CMYK_8 | EXTRA_SH(1);
    void* perceptual = CmykTable::contextData(INTENT_PERCEPTUAL);
    // A context that does not say its intent; formats the painting does not use.
    Conversion unknownIntent(profiles, cmyk, TYPE_RGBA_8, INTENT_PERCEPTUAL, 0, true, nullptr);
    Conversion packed(profiles, TYPE_CMYK_8, TYPE_RGB_8, INTENT_PERCEPTUAL, 0, true, perceptual);
    Conversion floating(profiles, TYPE_CMYK_FLT | EXTRA_SH(1), TYPE_RGBA_FLT, INTENT_PERCEPTUAL, 0, true,
                        perceptual);
    EXPECT_FALSE(CmykTable::evaluates(unknownIntent.transform));
    EXPECT_FALSE(CmykTable::evaluates(packed.transform));
    EXPECT_FALSE(CmykTable::evaluates(floating.transform));
    EXPECT_EQ(CmykTable::contextData(12345), nullptr);
}
