#include "PrintKit/targets/TestTarget.h"

#include "PrintKit/render/color/ColorSpace.h"
#include "PrintKit/render/sheet/PDFImageWriter.h"
#include "PrintKit/support/FileIO.h"
#include "PrintKit/support/Numbers.h"

#include <cmath>
#include <cstdint>
#include <exception>
#include <lcms2.h>
#include <memory>
#include <tiffio.h>
#include <type_traits>
#include <unistd.h>

namespace PrintKit {

std::string errorMessage(TestTargetErrorCode code, const std::string& detail) {
    switch (code) {
    case TestTargetErrorCode::badColorSpace:
        return "색공간을 만들지 못했습니다: " + detail;
    case TestTargetErrorCode::cannotCreatePDF:
        return "PDF를 만들지 못했습니다: " + detail;
    case TestTargetErrorCode::cannotCreateImage:
        return "패치 이미지를 만들지 못했습니다";
    case TestTargetErrorCode::invalidPage:
        return "테스트 타깃을 놓을 페이지 크기가 올바르지 않습니다: " + detail;
    case TestTargetErrorCode::invalidImageSize:
        return "패치 이미지 크기가 올바르지 않습니다: " + detail;
    }
    return "패치 이미지를 만들지 못했습니다";
}

std::string TestTargetVariant::name() const {
    switch (kind) {
    case Kind::profile:
        return "profile-" + profilePath.filename().stem().string();
    case Kind::deviceRGB:
        return "device";
    case Kind::sRGB:
        return "srgb";
    }
    return {};
}

namespace TestTarget {

namespace {

constexpr double margin = 18;    // points between the imageable area's edge and the outer patches
constexpr double patchSize = 40; // points
constexpr double gap = 8;        // points between patches
constexpr int solidPixels = 8;   // each patch is an image of this many pixels a side, drawn unsmoothed
constexpr const char* creator = "Quilm Print";

// Classic TIFF counts bytes in 32 bits; a grid that cannot fit is refused before anything is written.
constexpr std::uint64_t largestTIFFBytes = 0xFFFF'0000ULL;

[[noreturn]] void fail(TestTargetErrorCode code, const std::string& detail = {}) {
    throw TestTargetError(code, detail);
}

void ignoreColorEngineMessage(cmsContext, cmsUInt32Number, const char*) {}

// Whether the bytes are an RGB profile that a PDF reader can take as the source space of an image: the
// embedded stream says three components, so anything else would make the file invalid.
bool usableRGBProfile(const std::string& bytes) {
    if (bytes.size() < 128 || bytes.size() > UINT32_MAX) {
        return false;
    }
    std::unique_ptr<std::remove_pointer_t<cmsContext>, void (*)(cmsContext)> context(
        cmsCreateContext(nullptr, nullptr), cmsDeleteContext);
    if (!context) {
        return false;
    }
    cmsSetLogErrorHandlerTHR(context.get(), ignoreColorEngineMessage);
    std::unique_ptr<void, cmsBool (*)(cmsHPROFILE)> profile(
        cmsOpenProfileFromMemTHR(context.get(), bytes.data(), static_cast<cmsUInt32Number>(bytes.size())),
        cmsCloseProfile);
    if (!profile) {
        return false;
    }
    const cmsProfileClassSignature deviceClass = cmsGetDeviceClass(profile.get());
    const bool sourceClass = deviceClass == cmsSigInputClass || deviceClass == cmsSigDisplayClass ||
                             deviceClass == cmsSigOutputClass || deviceClass == cmsSigColorSpaceClass;
    return sourceClass && cmsGetColorSpace(profile.get()) == cmsSigRgbData &&
           (cmsIsIntentSupported(profile.get(), INTENT_PERCEPTUAL, LCMS_USED_AS_INPUT) ||
            cmsIsIntentSupported(profile.get(), INTENT_RELATIVE_COLORIMETRIC, LCMS_USED_AS_INPUT));
}

PDFImageWriter::ColorSpace colorSpace(const TestTargetVariant& variant) {
    switch (variant.kind) {
    case TestTargetVariant::Kind::profile: {
        std::string bytes;
        try {
            bytes = FileIO::readFile(variant.profilePath, UINT32_MAX);
        } catch (const std::exception&) {
            fail(TestTargetErrorCode::badColorSpace, variant.profilePath.string());
        }
        if (!usableRGBProfile(bytes)) {
            fail(TestTargetErrorCode::badColorSpace, variant.profilePath.string());
        }
        return PDFImageWriter::ColorSpace::iccBased(std::move(bytes));
    }
    case TestTargetVariant::Kind::deviceRGB:
        return PDFImageWriter::ColorSpace::deviceRGB();
    case TestTargetVariant::Kind::sRGB:
        try {
            return PDFImageWriter::ColorSpace::iccBased(ColorSpace::sRGB().icc);
        } catch (const std::exception&) {
            fail(TestTargetErrorCode::badColorSpace, "sRGB");
        }
    }
    fail(TestTargetErrorCode::badColorSpace, "sRGB");
}

std::vector<TestPatch> layout(const PPDPageSize& page) {
    const bool sized =
        std::isfinite(page.width) && std::isfinite(page.height) && page.width > 0 && page.height > 0;
    if (!sized) {
        fail(TestTargetErrorCode::invalidPage, page.name);
    }
    // The bottom edge plays no part: on a short area the lower rows run on below it.
    double left = 0, right = page.width, top = page.height;
    if (page.imageableArea) {
        const std::vector<double>& area = *page.imageableArea;
        if (area.size() < 4 || !std::isfinite(area[0]) || !std::isfinite(area[1]) ||
            !std::isfinite(area[2]) || !std::isfinite(area[3])) {
            fail(TestTargetErrorCode::invalidPage, page.name);
        }
        left = area[0];
        right = area[2];
        top = area[3];
    }

    const std::vector<TestColor>& table = colors();
    const int count = static_cast<int>(table.size());
    // As many columns as fit, truncated toward zero, at least one. Past one column per colour the layout is
    // the same, so the quotient is capped there and never has to fit an integer.
    const double fit = (right - left - 2 * margin + gap) / (patchSize + gap);
    int columns = 1;
    if (fit >= count) {
        columns = count;
    } else if (fit >= 1) {
        columns = static_cast<int>(fit);
    }

    std::vector<TestPatch> patches;
    patches.reserve(table.size());
    for (int i = 0; i < count; ++i) {
        const int column = i % columns;
        const int row = i / columns;
        const double x = left + margin + (patchSize + gap) * column;
        const double y = top - margin - patchSize * (row + 1) - gap * row;
        const TestColor& color = table[static_cast<std::size_t>(i)];
        patches.push_back(TestPatch{color.name,
                                    {static_cast<double>(color.rgb[0]), static_cast<double>(color.rgb[1]),
                                     static_cast<double>(color.rgb[2])},
                                    {x, y, patchSize, patchSize}});
    }
    return patches;
}

// size × size pixels of one colour as the PDF writer takes them: 16-bit big-endian red, green, blue.
std::string solidSamples(const std::array<int, 3>& rgb, int size) {
    std::string pixel(6, '\0');
    for (std::size_t c = 0; c < 3; ++c) {
        const auto value = static_cast<std::uint16_t>(rgb[c] * 257);
        pixel[2 * c] = static_cast<char>(value >> 8);
        pixel[2 * c + 1] = static_cast<char>(value & 0xFF);
    }
    std::string samples;
    samples.reserve(static_cast<std::size_t>(size) * static_cast<std::size_t>(size) * pixel.size());
    for (int i = 0; i < size * size; ++i) {
        samples += pixel;
    }
    return samples;
}

// libtiff reports through callbacks; this one keeps the process quiet and remembers that something failed.
int noteTIFFProblem(TIFF*, void* failed, const char*, const char*, va_list) {
    *static_cast<bool*>(failed) = true;
    return 1; // handled: nothing reaches the library's default handler (standard error)
}

int ignoreTIFFWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

} // namespace

const std::vector<TestColor>& colors() {
    static const std::vector<TestColor> table = [] {
        std::vector<TestColor> rows;
        for (int v = 0; v <= 250; v += 25) {
            rows.push_back({"gray" + Numbers::integer(v), {v, v, v}});
        }
        const TestColor named[] = {
            {"gray255", {255, 255, 255}}, {"nearwhite", {250, 250, 250}}, {"nearblack", {5, 5, 5}},
            {"red", {255, 0, 0}},         {"green", {0, 255, 0}},         {"blue", {0, 0, 255}},
            {"cyan", {0, 255, 255}},      {"magenta", {255, 0, 255}},     {"yellow", {255, 255, 0}},
            {"skin", {224, 172, 150}},    {"sky", {100, 150, 220}},       {"orange", {250, 128, 20}},
            {"shadow", {30, 20, 40}},
        };
        rows.insert(rows.end(), std::begin(named), std::end(named));
        return rows;
    }();
    return table;
}

TestTargetManifest render(const PPDPageSize& page, const TestTargetVariant& variant,
                          const std::filesystem::path& to) {
    const PDFImageWriter::ColorSpace space = colorSpace(variant);
    std::vector<TestPatch> patches = layout(page);

    try {
        FileIO::AtomicFile file(to);
        PDFImageWriter writer(file, Size{page.width, page.height}, creator);
        const std::vector<TestColor>& table = colors();
        for (std::size_t i = 0; i < patches.size(); ++i) {
            const std::vector<double>& r = patches[i].rect;
            writer.beginImage(Rect(r[0], r[1], r[2], r[3]), solidPixels, solidPixels, space);
            writer.writeImageBytes(solidSamples(table[i].rgb, solidPixels));
            writer.endImage();
        }
        writer.finish();
        file.commit();
    } catch (const std::exception&) {
        // The half-written temporary file is gone with the AtomicFile; whatever the cause (folder missing,
        // disk full), the caller learns which file was not made.
        fail(TestTargetErrorCode::cannotCreatePDF, to.string());
    }
    return TestTargetManifest{page.name, page.width, page.height, variant.name(), std::move(patches)};
}

std::vector<PatchCell> writePatchImage(const std::filesystem::path& to, int patchPixels, int columns) {
    if (columns < 1) {
        fail(TestTargetErrorCode::invalidImageSize, "columns " + Numbers::integer(columns));
    }
    if (patchPixels < 1) {
        fail(TestTargetErrorCode::invalidImageSize, "patchPixels " + Numbers::integer(patchPixels));
    }
    const std::vector<TestColor>& table = colors();
    const auto count = static_cast<std::int64_t>(table.size());
    const std::int64_t rows = (count + columns - 1) / columns;
    const std::int64_t width = static_cast<std::int64_t>(columns) * patchPixels;
    const std::int64_t height = rows * patchPixels;
    // width ≤ 2^31 × 2^31 and height ≤ 24 × 2^31, so the product is checked in two steps without overflow.
    const bool fits =
        width <= static_cast<std::int64_t>(largestTIFFBytes / 6) &&
        static_cast<std::uint64_t>(width) * 6 <= largestTIFFBytes / static_cast<std::uint64_t>(height);
    if (!fits) {
        fail(TestTargetErrorCode::invalidImageSize,
             Numbers::integer(width) + " × " + Numbers::integer(height));
    }

    std::vector<PatchCell> cells;
    cells.reserve(table.size());
    for (std::int64_t i = 0; i < count; ++i) {
        const std::int64_t row = i / columns;
        const std::int64_t column = i - row * columns;
        const TestColor& color = table[static_cast<std::size_t>(i)];
        cells.push_back(PatchCell{color.name,
                                  color.rgb,
                                  {static_cast<double>(column) / columns, static_cast<double>(row) / rows,
                                   1.0 / columns, 1.0 / static_cast<double>(rows)}});
    }

    std::string profile;
    try {
        profile = ColorSpace::sRGB().icc;
    } catch (const std::exception&) {
        fail(TestTargetErrorCode::cannotCreateImage);
    }

    try {
        FileIO::AtomicFile file(to);
        bool failed = false;
        std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(TIFFOpenOptionsAlloc(),
                                                                             TIFFOpenOptionsFree);
        if (!options) {
            fail(TestTargetErrorCode::cannotCreateImage);
        }
        TIFFOpenOptionsSetErrorHandlerExtR(options.get(), noteTIFFProblem, &failed);
        TIFFOpenOptionsSetWarningHandlerExtR(options.get(), ignoreTIFFWarning, nullptr);
        // libtiff closes the descriptor it is given; the AtomicFile keeps its own to flush and rename.
        const int fd = ::dup(file.fd());
        if (fd < 0) {
            fail(TestTargetErrorCode::cannotCreateImage);
        }
        std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(TIFFFdOpenExt(fd, to.c_str(), "w", options.get()),
                                                    TIFFClose);
        if (!tiff) {
            ::close(fd);
            fail(TestTargetErrorCode::cannotCreateImage);
        }
        TIFF* t = tiff.get();
        const auto rowBytes = static_cast<std::uint64_t>(width) * 6;
        const auto rowsPerStrip =
            static_cast<std::uint32_t>(std::max<std::uint64_t>(1, (1 << 16) / rowBytes));
        bool tagged =
            TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width)) &&
            TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height)) &&
            TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 16) && TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3) &&
            TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
            TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
            TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE) &&
            TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
            TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rowsPerStrip) &&
            TIFFSetField(t, TIFFTAG_ICCPROFILE, static_cast<std::uint32_t>(profile.size()), profile.data());
        if (!tagged || failed) {
            fail(TestTargetErrorCode::cannotCreateImage);
        }

        // One row at a time: memory follows the image's width, never its height.
        std::vector<std::uint16_t> line(static_cast<std::size_t>(width) * 3);
        for (std::int64_t y = 0; y < height && !failed; ++y) {
            const std::int64_t row = y / patchPixels;
            for (std::int64_t column = 0; column < columns; ++column) {
                const std::int64_t i = row * columns + column;
                std::array<std::uint16_t, 3> sample{65535, 65535, 65535};
                if (i < count) {
                    const TestColor& color = table[static_cast<std::size_t>(i)];
                    for (std::size_t c = 0; c < 3; ++c) {
                        sample[c] = static_cast<std::uint16_t>(color.rgb[c] * 257);
                    }
                }
                std::uint16_t* at = line.data() + static_cast<std::size_t>(column * patchPixels) * 3;
                for (int x = 0; x < patchPixels; ++x, at += 3) {
                    at[0] = sample[0];
                    at[1] = sample[1];
                    at[2] = sample[2];
                }
            }
            if (TIFFWriteScanline(t, line.data(), static_cast<std::uint32_t>(y), 0) < 0) {
                failed = true;
            }
        }
        if (!failed && !TIFFFlush(t)) {
            failed = true;
        }
        if (failed) {
            fail(TestTargetErrorCode::cannotCreateImage);
        }
        tiff.reset();
        file.commit();
    } catch (const TestTargetError&) {
        throw;
    } catch (const std::exception&) {
        fail(TestTargetErrorCode::cannotCreateImage);
    }
    return cells;
}

} // namespace TestTarget

} // namespace PrintKit
