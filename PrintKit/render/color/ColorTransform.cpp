#include "PrintKit/render/color/ColorTransform.h"

#include "PrintKit/render/color/MatrixShaper.h"
#include "PrintKit/support/FileIO.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <lcms2.h>
#include <limits>
#include <mutex>
#include <new>

namespace PrintKit {

std::string errorMessage(ColorTransformErrorCode code, const std::string& detail) {
    switch (code) {
    case ColorTransformErrorCode::unreadableProfile:
        return "ICC 프로파일을 읽지 못했습니다: " + detail;
    case ColorTransformErrorCode::cannotCreateTransform:
        return "색 변환을 만들지 못했습니다";
    case ColorTransformErrorCode::conversionFailed:
        return "색 변환에 실패했습니다";
    }
    return "색 변환에 실패했습니다";
}

namespace {

void ignoreColorEngineMessage(cmsContext, cmsUInt32Number, const char*) {}

constexpr bool nativeLittleEndian = std::endian::native == std::endian::little;

// Little CMS formats name the host's byte order; the "_SE" forms swap it.
constexpr cmsUInt32Number littleEndianRGBA16 = nativeLittleEndian ? TYPE_RGBA_16 : TYPE_RGBA_16_SE;
constexpr cmsUInt32Number littleEndianRGB16 = nativeLittleEndian ? TYPE_RGB_16 : TYPE_RGB_16_SE;
constexpr cmsUInt32Number bigEndianRGB16 = nativeLittleEndian ? TYPE_RGB_16_SE : TYPE_RGB_16;

// A floating-point RGB with one extra channel that is neither read nor written: without cmsFLAGS_COPY_ALPHA
// the engine skips extra channels on both sides.
constexpr cmsUInt32Number floatRGBX = TYPE_RGBA_FLT;

[[noreturn]] void fail(ColorTransformErrorCode code, const std::string& detail = {}) {
    throw ColorTransformError(code, detail);
}

// Runs a transform over rows, in as many calls as it takes: the engine counts each call's bytes in 32 bits,
// so one call must never cover 4 GiB or more of either buffer.
void convertRows(cmsHTRANSFORM transform, const void* source, std::size_t sourcePixelBytes, void* destination,
                 std::size_t destinationPixelBytes, int width, int height) {
    if (width < 0 || height < 0) {
        fail(ColorTransformErrorCode::conversionFailed);
    }
    if (width == 0 || height == 0) {
        return;
    }
    if (source == nullptr || destination == nullptr) {
        fail(ColorTransformErrorCode::conversionFailed);
    }
    constexpr std::uint64_t limit = std::numeric_limits<cmsUInt32Number>::max();
    const std::uint64_t sourceRow = static_cast<std::uint64_t>(width) * sourcePixelBytes;
    const std::uint64_t destinationRow = static_cast<std::uint64_t>(width) * destinationPixelBytes;
    const std::uint64_t widest = std::max(sourceRow, destinationRow);
    if (widest > limit) {
        fail(ColorTransformErrorCode::conversionFailed);
    }
    const auto rowsPerCall = static_cast<int>(std::min<std::uint64_t>(limit / widest, INT32_MAX));
    auto* in = static_cast<const std::uint8_t*>(source);
    auto* out = static_cast<std::uint8_t*>(destination);
    for (int y = 0; y < height; y += rowsPerCall) {
        const int rows = std::min(rowsPerCall, height - y);
        cmsDoTransformLineStride(transform, in + static_cast<std::uint64_t>(y) * sourceRow,
                                 out + static_cast<std::uint64_t>(y) * destinationRow,
                                 static_cast<cmsUInt32Number>(width), static_cast<cmsUInt32Number>(rows),
                                 static_cast<cmsUInt32Number>(sourceRow),
                                 static_cast<cmsUInt32Number>(destinationRow), 0, 0);
    }
}

} // namespace

// Little CMS fixes pixel formats when a transform is made, so the object keeps one transform per format
// pair: the float one from the start, the 16-bit ones when first asked for.
struct ColorTransform::Engine {
    cmsContext context = nullptr;
    cmsHPROFILE source = nullptr;
    cmsHPROFILE destination = nullptr;
    cmsUInt32Number intent = INTENT_RELATIVE_COLORIMETRIC;
    cmsUInt32Number flags = 0;
    cmsHTRANSFORM floatTransform = nullptr;
    std::mutex building; // making a transform reads the profiles, which must not be read twice at once
    std::array<std::atomic<cmsHTRANSFORM>, 4> sixteenBit{};

    Engine() = default;
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    ~Engine() {
        for (auto& slot : sixteenBit) {
            if (cmsHTRANSFORM t = slot.load(std::memory_order_acquire)) {
                cmsDeleteTransform(t);
            }
        }
        if (floatTransform) {
            cmsDeleteTransform(floatTransform);
        }
        if (destination) {
            cmsCloseProfile(destination);
        }
        if (source) {
            cmsCloseProfile(source);
        }
        if (context) {
            cmsDeleteContext(context);
        }
    }

    cmsHTRANSFORM make(cmsUInt32Number inputFormat, cmsUInt32Number outputFormat) {
        return cmsCreateTransformTHR(context, source, inputFormat, destination, outputFormat, intent, flags);
    }

    cmsHTRANSFORM sixteen(bool padded, bool bigEndian) {
        auto& slot = sixteenBit[(padded ? 2 : 0) + (bigEndian ? 1 : 0)];
        if (cmsHTRANSFORM t = slot.load(std::memory_order_acquire)) {
            return t;
        }
        std::lock_guard guard(building);
        if (cmsHTRANSFORM t = slot.load(std::memory_order_relaxed)) {
            return t;
        }
        cmsHTRANSFORM t = make(padded ? littleEndianRGBA16 : littleEndianRGB16,
                               bigEndian ? bigEndianRGB16 : littleEndianRGB16);
        if (!t) {
            fail(ColorTransformErrorCode::cannotCreateTransform);
        }
        slot.store(t, std::memory_order_release);
        return t;
    }
};

ColorTransform::ColorTransform(std::unique_ptr<Engine> engine) : engine_(std::move(engine)) {}

ColorTransform::ColorTransform(std::string_view sourceICC, std::string_view destinationICC,
                               RenderingIntent intent, bool blackPointCompensation, Evaluation evaluation)
    : engine_(std::make_unique<Engine>()) {
    Engine& e = *engine_;
    // A context of its own keeps the silenced message handler, the faster float evaluation and all
    // allocations away from global state.
    e.context = cmsCreateContext(MatrixShaper::plugin(), nullptr);
    if (!e.context) {
        throw std::bad_alloc();
    }
    cmsSetLogErrorHandlerTHR(e.context, ignoreColorEngineMessage);
    auto open = [&](std::string_view bytes) -> cmsHPROFILE {
        if (bytes.empty() || bytes.size() > std::numeric_limits<cmsUInt32Number>::max()) {
            return nullptr;
        }
        return cmsOpenProfileFromMemTHR(e.context, bytes.data(), static_cast<cmsUInt32Number>(bytes.size()));
    };
    e.source = open(sourceICC);
    if (!e.source) {
        fail(ColorTransformErrorCode::unreadableProfile, "원본");
    }
    e.destination = open(destinationICC);
    if (!e.destination) {
        fail(ColorTransformErrorCode::unreadableProfile, "용지");
    }
    e.intent = intent == RenderingIntent::perceptual ? INTENT_PERCEPTUAL : INTENT_RELATIVE_COLORIMETRIC;
    e.flags = blackPointCompensation ? cmsFLAGS_BLACKPOINTCOMPENSATION : 0;
    // Told not to optimise, Little CMS offers no pipeline to a plug-in; it evaluates a float pipeline the
    // same way either way.
    e.floatTransform =
        cmsCreateTransformTHR(e.context, e.source, floatRGBX, e.destination, floatRGBX, e.intent,
                              e.flags | (evaluation == Evaluation::exact ? cmsFLAGS_NOOPTIMIZE : 0));
    if (!e.floatTransform) {
        fail(ColorTransformErrorCode::cannotCreateTransform);
    }
}

ColorTransform::ColorTransform(const ColorSpace& source, const std::filesystem::path& destinationProfile,
                               RenderingIntent intent, bool blackPointCompensation)
    : ColorTransform([&]() -> ColorTransform {
          if (source.icc.empty()) {
              fail(ColorTransformErrorCode::unreadableProfile,
                   source.name.empty() ? "원본 색공간" : source.name);
          }
          std::string destination;
          try {
              destination = FileIO::readFile(destinationProfile, std::numeric_limits<cmsUInt32Number>::max());
          } catch (const std::exception&) {
              fail(ColorTransformErrorCode::unreadableProfile, destinationProfile.string());
          }
          return ColorTransform(source.icc, destination, intent, blackPointCompensation);
      }()) {}

ColorTransform ColorTransform::fromSRGB(const std::filesystem::path& destinationProfile,
                                        RenderingIntent intent, bool blackPointCompensation) {
    return ColorTransform(ColorSpace::sRGB(), destinationProfile, intent, blackPointCompensation);
}

bool ColorTransform::evaluatesItself() const {
    return MatrixShaper::evaluates(engine_->floatTransform);
}

ColorTransform::ColorTransform(ColorTransform&&) noexcept = default;
ColorTransform& ColorTransform::operator=(ColorTransform&&) noexcept = default;
ColorTransform::~ColorTransform() = default;

void ColorTransform::convert(const Pixel* source, Layout, Pixel* destination, Layout, int width,
                             int height) const {
    convertRows(engine_->floatTransform, source, sizeof(Pixel), destination, sizeof(Pixel), width, height);
}

void ColorTransform::convert(const std::uint16_t* source, bool sourceHasPadding, std::uint16_t* destination,
                             bool destinationBigEndian, int width, int height) const {
    if (width < 0 || height < 0) {
        fail(ColorTransformErrorCode::conversionFailed);
    }
    if (width == 0 || height == 0) {
        return;
    }
    cmsHTRANSFORM transform = engine_->sixteen(sourceHasPadding, destinationBigEndian);
    convertRows(transform, source, sourceHasPadding ? 8 : 6, destination, 6, width, height);
}

std::vector<std::array<double, 3>>
ColorTransform::convert(const std::vector<std::array<int, 3>>& rgb8) const {
    std::vector<std::array<double, 3>> result(rgb8.size());
    if (rgb8.empty()) {
        return result;
    }
    std::vector<std::uint16_t> row(rgb8.size() * 3);
    for (std::size_t i = 0; i < rgb8.size(); ++i) {
        for (std::size_t c = 0; c < 3; ++c) {
            const long long scaled = static_cast<long long>(rgb8[i][c]) * 257;
            row[3 * i + c] = static_cast<std::uint16_t>(std::clamp(scaled, 0LL, 65535LL));
        }
    }
    // One row of colours, in pieces small enough for the engine's 32-bit row size.
    constexpr std::size_t piece = 1 << 24;
    for (std::size_t first = 0; first < rgb8.size(); first += piece) {
        const auto count = static_cast<int>(std::min(piece, rgb8.size() - first));
        convert(row.data() + 3 * first, false, row.data() + 3 * first, false, count, 1);
    }
    for (std::size_t i = 0; i < rgb8.size(); ++i) {
        for (std::size_t c = 0; c < 3; ++c) {
            result[i][c] = row[3 * i + c] / 257.0;
        }
    }
    return result;
}

} // namespace PrintKit
