// The painting of Lab photos into sRGB against Little CMS's own conversion, code for code, and the
// conversions the faster evaluation must leave to Little CMS.
#include "PrintKit/render/color/LabShaper.h"

#include "PrintKit/render/color/ColorSpace.h"
#include "PrintKit/render/decode/ColorProfiles.h"
#include "TestProfiles.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <lcms2.h>
#include <limits>
#include <random>
#include <vector>

using namespace PrintKit;

namespace {

// A conversion from Little CMS's Lab profile to `to`, made in a context with the plug-in, or without it (in
// Little CMS's global context) for the codes to compare with.
struct Painting {
    cmsContext context = nullptr;
    cmsHTRANSFORM transform = nullptr;
    cmsUInt32Number outPixel = 0; // bytes

    Painting(const std::string& to, bool plugIn, cmsUInt32Number flags,
             cmsUInt32Number inFormat = TYPE_LabA_FLT, cmsUInt32Number outFormat = TYPE_RGBA_16) {
        outPixel = (T_CHANNELS(outFormat) + T_EXTRA(outFormat)) * T_BYTES(outFormat);
        if (plugIn) {
            context = cmsCreateContext(LabShaper::plugin(), nullptr);
        }
        const std::string& lab = ColorProfiles::lab();
        cmsHPROFILE from =
            cmsOpenProfileFromMemTHR(context, lab.data(), static_cast<cmsUInt32Number>(lab.size()));
        cmsHPROFILE into =
            cmsOpenProfileFromMemTHR(context, to.data(), static_cast<cmsUInt32Number>(to.size()));
        transform = cmsCreateTransformTHR(context, from, inFormat, into, outFormat, INTENT_PERCEPTUAL, flags);
        cmsCloseProfile(from);
        cmsCloseProfile(into);
    }
    Painting(const Painting&) = delete;
    Painting& operator=(const Painting&) = delete;
    ~Painting() {
        cmsDeleteTransform(transform);
        if (context) {
            cmsDeleteContext(context);
        }
    }

    // Pixels of L*, a*, b* and alpha into a destination that starts as `before` (its fourth values are kept
    // unless alpha is copied), in rows of `width` pixels: a row's last few pixels take another road.
    std::vector<std::uint16_t> paint(const std::vector<float>& lab, const std::vector<std::uint16_t>& before,
                                     int width = 7) const {
        std::vector<std::uint16_t> out = before;
        const auto pixels = static_cast<int>(lab.size() / 4);
        const int rows = pixels / width;
        cmsDoTransformLineStride(transform, lab.data(), out.data(), static_cast<cmsUInt32Number>(width),
                                 static_cast<cmsUInt32Number>(rows), static_cast<cmsUInt32Number>(16 * width),
                                 outPixel * static_cast<cmsUInt32Number>(width), 0, 0);
        const std::size_t done = static_cast<std::size_t>(rows) * static_cast<std::size_t>(width);
        cmsDoTransform(transform, lab.data() + 4 * done,
                       reinterpret_cast<std::uint8_t*>(out.data()) + outPixel * done,
                       static_cast<cmsUInt32Number>(static_cast<std::size_t>(pixels) - done));
        return out;
    }
};

// Lab as the TIFF reader gives it from 16-bit files: L* over 0…65535, a* and b* in 1/256 units.
void addCodes(std::vector<float>& lab, int l, int a, int b, float alpha) {
    lab.insert(lab.end(), {static_cast<float>(l) * 100.0f / 65535.0f, static_cast<float>(a) / 256.0f - 128.0f,
                           static_cast<float>(b) / 256.0f - 128.0f, alpha});
}

// Every L* code on and off the neutral axis; every a* code in the deep shadows, where sRGB's curve changes
// from its line to its power and its codes step back once; random colours; values past Lab's 16-bit
// encoding and values it cannot hold at all.
std::vector<float> labColours() {
    std::vector<float> lab;
    std::mt19937 random(26);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int l = 0; l < 65536; ++l) {
        addCodes(lab, l, 32768, 32768, unit(random));
        addCodes(lab, l, (l * 7) % 65536, 65535 - l, unit(random));
    }
    for (int l = 1700; l <= 1950; l += 50) {
        for (int a = 0; a < 65536; ++a) {
            addCodes(lab, l, a, (a * 13) % 65536, 1.0f);
        }
    }
    std::uniform_int_distribution<int> code(0, 65535);
    for (int i = 0; i < 200000; ++i) {
        addCodes(lab, code(random), code(random), code(random), 1.5f * unit(random) - 0.25f);
    }
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const float odd[] = {-7.0f,  -0.0f,   100.0f, 101.5f, -128.0f, 127.0f,
                         131.0f, -200.0f, 3e38f,  nan,    inf,     -inf};
    for (float l : odd) {
        for (float a : odd) {
            for (float b : {0.0f, 40.0f, -128.5f, nan}) {
                lab.insert(lab.end(), {l, a, b, 0.5f});
            }
        }
        lab.insert(lab.end(), {50.0f, 10.0f, -10.0f, l});
    }
    return lab;
}

} // namespace

TEST(LabShaperTest, PaintsLabIntoSRGBWithLittleCMSsOwnCodes) {
    const std::string& srgb = ColorSpace::sRGB().icc;
    const std::vector<float> lab = labColours();
    std::vector<std::uint16_t> before(lab.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        before[i] = static_cast<std::uint16_t>(i * 40503u);
    }
    for (const cmsUInt32Number flags :
         {cmsUInt32Number{cmsFLAGS_NOCACHE | cmsFLAGS_COPY_ALPHA}, cmsUInt32Number{cmsFLAGS_NOCACHE}}) {
        const Painting fast(srgb, true, flags), exact(srgb, false, flags);
        ASSERT_TRUE(LabShaper::evaluates(fast.transform));
        ASSERT_FALSE(LabShaper::evaluates(exact.transform));
        const auto painted = fast.paint(lab, before), expected = exact.paint(lab, before);
        for (std::size_t p = 0; p < lab.size() / 4; ++p) {
            ASSERT_EQ(std::memcmp(&painted[4 * p], &expected[4 * p], 8), 0)
                << "flags " << flags << ", Lab " << lab[4 * p] << " " << lab[4 * p + 1] << " "
                << lab[4 * p + 2] << " alpha " << lab[4 * p + 3] << ": " << painted[4 * p] << " "
                << painted[4 * p + 1] << " " << painted[4 * p + 2] << " " << painted[4 * p + 3] << " against "
                << expected[4 * p] << " " << expected[4 * p + 1] << " " << expected[4 * p + 2] << " "
                << expected[4 * p + 3];
        }
    }
}

TEST(LabShaperTest, LeavesWhatItCannotEvaluateExactlyToLittleCMS) {
    const std::string& srgb = ColorSpace::sRGB().icc;
    const auto copy = cmsFLAGS_NOCACHE | cmsFLAGS_COPY_ALPHA;
    const struct {
        const char* name;
        std::string to;
        cmsUInt32Number outFormat;
    } cases[] = {
        {"a table-based RGB profile", TestProfiles::channelMixing(), TYPE_RGBA_16},
        // A curve given as a 1024-entry table, which the engine evaluates in steps of a code.
        {"tabulated curves", TestProfiles::tabulatedSRGB().own, TYPE_RGBA_16},
        {"a plain gamma", TestProfiles::adobeRGBLike().own, TYPE_RGBA_16},
        {"8-bit samples", srgb, TYPE_RGBA_8},
    };
    std::vector<float> lab;
    for (int i = 0; i < 4096; ++i) {
        addCodes(lab, i * 16, (i * 977) % 65536, (i * 4099) % 65536, 1.0f);
    }
    for (const auto& c : cases) {
        const Painting fast(c.to, true, copy, TYPE_LabA_FLT, c.outFormat);
        const Painting exact(c.to, false, copy, TYPE_LabA_FLT, c.outFormat);
        EXPECT_FALSE(LabShaper::evaluates(fast.transform)) << c.name;
        const std::vector<std::uint16_t> zeros(lab.size());
        EXPECT_EQ(fast.paint(lab, zeros, 64), exact.paint(lab, zeros, 64)) << c.name;
    }
    // Lab without its fourth value: another unpacking.
    const Painting three(srgb, true, copy, TYPE_Lab_FLT, TYPE_RGB_16);
    EXPECT_FALSE(LabShaper::evaluates(three.transform));
}
