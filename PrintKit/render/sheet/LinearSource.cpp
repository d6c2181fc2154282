#include "PrintKit/render/sheet/LinearSource.h"

#include "PrintKit/render/color/CmykTable.h"
#include "PrintKit/render/color/LabShaper.h"
#include "PrintKit/render/decode/ColorProfiles.h"
#include "PrintKit/render/decode/ImageDecoder.h"
#include "PrintKit/render/decode/SheetRenderError.h"
#include "PrintKit/render/resample/LanczosResampler.h"
#include "PrintKit/render/sheet/SheetRenderer.h"
#include "PrintKit/support/PageBuffer.h"
#include "PrintKit/support/ParallelLoop.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <exception>
#include <lcms2.h>
#include <mutex>
#include <new>
#include <stdexcept>

namespace PrintKit {

namespace {

constexpr bool nativeLittleEndian = std::endian::native == std::endian::little;

[[noreturn]] void cannotCreateImage() {
    throw SheetRenderError(SheetRenderErrorCode::cannotCreateImage);
}

template <typename T> T load(const std::uint8_t* at, bool swap) {
    if constexpr (std::is_same_v<T, std::uint8_t>) {
        return *at;
    } else if constexpr (std::is_same_v<T, std::uint16_t>) {
        std::uint16_t v;
        std::memcpy(&v, at, 2);
        return swap ? static_cast<std::uint16_t>(v << 8 | v >> 8) : v;
    } else {
        std::uint32_t bits;
        std::memcpy(&bits, at, 4);
        return std::bit_cast<float>(swap ? __builtin_bswap32(bits) : bits);
    }
}

void requireInside(IndexRange columns, IndexRange rows, int width, int height) {
    if (columns.lowerBound < 0 || columns.upperBound > width || columns.isEmpty() || rows.lowerBound < 0 ||
        rows.upperBound > height || rows.isEmpty()) {
        throw std::out_of_range("window outside the presented image");
    }
}

std::string profileDescription(const std::string& icc) {
    std::string text;
    cmsHPROFILE profile = cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size()));
    if (profile) {
        char buffer[256] = {};
        if (cmsGetProfileInfoASCII(profile, cmsInfoDescription, "en", "US", buffer, sizeof buffer) > 0) {
            text = buffer;
        }
        cmsCloseProfile(profile);
    }
    return text;
}

} // namespace

// --- the raw-route test ---

std::optional<RawLayout> RawLayout::make(const DecodedImage& image, const ColorSpace& space) {
    if (image.model != ColorModel::rgb || image.icc.empty() || image.icc != space.icc) {
        return std::nullopt;
    }
    if (image.sample == SampleType::float32 || image.alpha != AlphaMode::none) {
        return std::nullopt;
    }
    // Three samples, or four whose last is a filler (no real alpha): red, green and blue lead.
    if (image.channels != 3 && image.channels != 4) {
        return std::nullopt;
    }
    const bool deep = image.sample == SampleType::uint16;
    const int step = deep ? 2 : 1;
    return RawLayout{image.channels * step, 0, step, 2 * step, deep, deep && image.littleEndian};
}

// --- painting a window into the working space ---

// Turns stored pixels into the bitmap's RGBA: each pixel is first brought to a canonical form (the colour
// samples and a straight alpha, at the bitmap's depth; Lab as floats), then colour-matched into the working
// space unless it is already there, then composited over white.
struct LinearSourcePainter {
    enum class Kind { u8, u16, f32 };

    Kind kind = Kind::u8;
    int colour = 3;
    bool match = false; // false: the samples are RGB in the working space already
    cmsHTRANSFORM transform = nullptr;
    bool swap = false;
    int alphaIndex = -1;
    bool premultiplied = false;

    LinearSourcePainter() = default;
    LinearSourcePainter(const LinearSourcePainter&) = delete;
    LinearSourcePainter& operator=(const LinearSourcePainter&) = delete;
    ~LinearSourcePainter() {
        if (transform) {
            cmsDeleteTransform(transform);
        }
    }

    int canonicalChannels() const { return colour + 1; }
    std::size_t canonicalBytes() const { return kind == Kind::u8 ? 1 : kind == Kind::u16 ? 2 : 4; }
};

namespace {

void ignoreColorEngineMessage(cmsContext, cmsUInt32Number, const char*) {}

// Every painted window is matched to its working space with this intent.
constexpr cmsUInt32Number paintingIntent = INTENT_PERCEPTUAL;

// The colour matching of painted windows: Little CMS in a context of the process's own, where a Lab photo's
// conversion to its working space runs through LabShaper (the same codes, without a power function per
// sample) and a CMYK photo's through CmykTable (the same codes, in fewer steps). Never destroyed, like
// Little CMS's global context, which serves if this one cannot be made.
cmsContext paintingContext() {
    static const cmsContext context = [] {
        cmsContext c = cmsCreateContext(LabShaper::plugin(), CmykTable::contextData(paintingIntent));
        if (c) {
            cmsSetLogErrorHandlerTHR(c, ignoreColorEngineMessage);
            cmsPluginTHR(c, CmykTable::plugin());
        }
        return c;
    }();
    return context;
}

// The profile that describes the samples: the embedded one when it suits the image's model, otherwise the
// default for that model.
const std::string& sourceProfile(const DecodedImage& image) {
    if (!image.icc.empty() && ColorProfiles::model(image.icc) == image.model) {
        return image.icc;
    }
    switch (image.model) {
    case ColorModel::gray:
        return ColorProfiles::defaultGray();
    case ColorModel::cmyk:
        return ColorProfiles::defaultCMYK();
    case ColorModel::lab:
        return ColorProfiles::lab();
    case ColorModel::rgb:
        break;
    }
    return ColorSpace::sRGB().icc;
}

// One stored pixel in canonical form: colour samples then a straight alpha, as Out.
template <typename In, typename Out>
inline void canonical(const std::uint8_t* p, Out* out, int colour, int alphaIndex, bool premultiplied,
                      bool swap) {
    constexpr std::size_t inBytes = sizeof(In);
    auto convert = [](In v) -> Out {
        if constexpr (std::is_same_v<In, float> && !std::is_same_v<Out, float>) {
            float c = v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; // NaN and below zero are 0
            return static_cast<Out>(std::nearbyint(c * 65535.0f));
        } else {
            return static_cast<Out>(v);
        }
    };
    constexpr Out opaque = std::is_same_v<Out, float>          ? Out(1)
                           : std::is_same_v<Out, std::uint8_t> ? Out(255)
                                                               : Out(65535);
    const Out alpha = alphaIndex >= 0
                          ? convert(load<In>(p + inBytes * static_cast<std::size_t>(alphaIndex), swap))
                          : opaque;
    for (int c = 0; c < colour; ++c) {
        Out v = convert(load<In>(p + inBytes * static_cast<std::size_t>(c), swap));
        if (premultiplied) {
            if constexpr (std::is_same_v<Out, float>) {
                v = alpha > 0 ? v / alpha : 0;
            } else {
                std::uint32_t a = alpha;
                v = a == 0 ? Out(0)
                           : static_cast<Out>(std::min<std::uint32_t>(
                                 opaque, (static_cast<std::uint32_t>(v) * opaque + a / 2) / a));
            }
        }
        out[c] = v;
    }
    out[colour] = alpha;
}

// Composites one bitmap row of RGBA over white in the working space's own values, leaving alpha opaque.
template <typename T> void overWhite(T* row, int count) {
    constexpr std::uint64_t top = std::is_same_v<T, std::uint8_t> ? 255 : 65535;
    for (int i = 0; i < count; ++i, row += 4) {
        const std::uint64_t a = row[3];
        if (a != top) {
            for (int c = 0; c < 3; ++c) {
                row[c] = static_cast<T>((row[c] * a + top * (top - a) + top / 2) / top);
            }
            row[3] = static_cast<T>(top);
        }
    }
}

template <typename In, typename Out>
void paintWindow(const DecodedImage& image, const LinearSourcePainter& painter,
                 const Orientation::Mapping& map, IndexRange columns, IndexRange rows, std::uint8_t* bitmap,
                 bool deep) {
    const int cols = columns.count();
    const int count = rows.count();
    const std::size_t pixelBytes = image.bytesPerPixel();
    const std::ptrdiff_t stepX = map.columnStep(pixelBytes, image.bytesPerRow);
    const std::ptrdiff_t stepY = map.rowStep(pixelBytes, image.bytesPerRow);
    const std::size_t bitmapPixel = deep ? 8 : 4;
    const std::size_t bitmapRow = bitmapPixel * static_cast<std::size_t>(cols);
    const std::uint8_t* origin =
        image.pixels.data() + map.offset(columns.lowerBound, rows.lowerBound, pixelBytes, image.bytesPerRow);
    if (!painter.match) {
        // RGB already in the working space: the canonical form is the bitmap's own RGBA.
        Orientation::parallelWalk(
            origin, stepX, stepY, cols, count, [&](const std::uint8_t* p, int r, int c) {
                canonical<In, Out>(p,
                                   reinterpret_cast<Out*>(bitmap + bitmapRow * static_cast<std::size_t>(r) +
                                                          bitmapPixel * static_cast<std::size_t>(c)),
                                   3, painter.alphaIndex, painter.premultiplied, painter.swap);
            });
    } else {
        // Canonical pixels wider than the bitmap's (CMYK, Lab) go through a scratch block per group of rows:
        // a few rows, since every job running holds its block, and those of a wide window add up to megabytes
        // at the moment the window's bitmap and the sheet's bands are held too.
        constexpr int matchedRows = 8;
        const int channels = painter.canonicalChannels();
        const int groups = (count + matchedRows - 1) / matchedRows;
        LanczosResampler::parallel(groups, [&](int group) {
            const int top = group * matchedRows;
            const int groupRows = std::min(matchedRows, count - top);
            std::vector<Out> scratch(static_cast<std::size_t>(groupRows) * static_cast<std::size_t>(cols) *
                                     static_cast<std::size_t>(channels));
            Orientation::walk(origin + static_cast<std::ptrdiff_t>(top) * stepY, stepX, stepY, cols,
                              groupRows, [&](const std::uint8_t* p, int r, int c) {
                                  canonical<In, Out>(p,
                                                     scratch.data() + (static_cast<std::size_t>(r) *
                                                                           static_cast<std::size_t>(cols) +
                                                                       static_cast<std::size_t>(c)) *
                                                                          static_cast<std::size_t>(channels),
                                                     painter.colour, painter.alphaIndex,
                                                     painter.premultiplied, painter.swap);
                              });
            for (int r = 0; r < groupRows; ++r) {
                cmsDoTransform(painter.transform,
                               scratch.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(cols) *
                                                    static_cast<std::size_t>(channels),
                               bitmap + bitmapRow * static_cast<std::size_t>(top + r),
                               static_cast<cmsUInt32Number>(cols));
            }
        });
    }
    if (painter.alphaIndex < 0) {
        return; // every pixel is opaque already
    }
    LanczosResampler::parallel(count, [&](int r) {
        std::uint8_t* row = bitmap + bitmapRow * static_cast<std::size_t>(r);
        if (deep) {
            overWhite(reinterpret_cast<std::uint16_t*>(row), cols);
        } else {
            overWhite(row, cols);
        }
    });
}

template <bool Deep, bool Swap>
void rawWindow(const DecodedImage& image, const RawLayout& layout, const ToneCurves& curves,
               const Orientation::Mapping& map, IndexRange columns, IndexRange rows, Pixel* into) {
    const std::size_t cols = static_cast<std::size_t>(columns.count());
    const std::size_t pixelBytes = static_cast<std::size_t>(layout.bytesPerPixel);
    const float* red = curves.toLinear().data();
    const float* green = red + curves.levels();
    const float* blue = green + curves.levels();
    const int r0 = layout.red, g0 = layout.green, b0 = layout.blue;
    const std::uint8_t* origin =
        image.pixels.data() + map.offset(columns.lowerBound, rows.lowerBound, pixelBytes, image.bytesPerRow);
    Orientation::parallelWalk(
        origin, map.columnStep(pixelBytes, image.bytesPerRow), map.rowStep(pixelBytes, image.bytesPerRow),
        columns.count(), rows.count(), [&](const std::uint8_t* p, int r, int c) {
            Pixel& out = into[static_cast<std::size_t>(r) * cols + static_cast<std::size_t>(c)];
            if constexpr (Deep) {
                out = Pixel{red[load<std::uint16_t>(p + r0, Swap)], green[load<std::uint16_t>(p + g0, Swap)],
                            blue[load<std::uint16_t>(p + b0, Swap)], 1.0f};
            } else {
                out = Pixel{red[p[r0]], green[p[g0]], blue[p[b0]], 1.0f};
            }
        });
}

} // namespace

// --- reading ---

LinearSource::Decoded LinearSource::read(const std::filesystem::path& path) {
    // Floating-point samples are rounded to 16 bits while decoding: the painter would round them so anyway.
    auto image = std::make_shared<const DecodedImage>(ImageDecoder::decode(path, {}, FloatSamples::rounded));
    const int orientation = image->orientation;
    return Decoded{std::move(image), orientation};
}

std::shared_ptr<const DecodedImage> LinearSource::readReduced(const std::filesystem::path& path,
                                                              int maxPixel) {
    return std::make_shared<const DecodedImage>(ImageDecoder::decodeReduced(path, maxPixel));
}

// --- the source ---

LinearSource::LinearSource(std::shared_ptr<const DecodedImage> image, int orientation, bool turned)
    : image_(std::move(image)), orientation_(Orientation::normalized(orientation)), turned_(turned) {
    if (!image_) {
        throw std::invalid_argument("a linear source needs an image");
    }
    const bool swap = Orientation::swapsSides(orientation_);
    uprightWidth_ = swap ? image_->height : image_->width;
    uprightHeight_ = swap ? image_->width : image_->height;
    width_ = turned_ ? uprightHeight_ : uprightWidth_;
    height_ = turned_ ? uprightWidth_ : uprightHeight_;
    mapping_ = Orientation::mapping(image_->width, image_->height, orientation_, turned_);

    // The photo's own RGB space when it has a usable profile, else sRGB; Display P3 when the candidate has
    // no linear form (a table-based profile).
    try {
        ColorSpace candidate = ColorSpace::sRGB();
        if (image_->model == ColorModel::rgb && !image_->icc.empty() &&
            ColorProfiles::model(image_->icc) == ColorModel::rgb) {
            candidate = image_->icc == candidate.icc
                            ? candidate
                            : ColorSpace{profileDescription(image_->icc), image_->icc};
        }
        std::optional<std::string> linear = ColorProfiles::linearized(candidate.icc);
        if (!linear) {
            candidate = ColorSpace{"Display P3", ColorProfiles::displayP3()};
            linear = ColorProfiles::linearized(candidate.icc);
        }
        if (!linear || candidate.icc.empty()) {
            cannotCreateImage();
        }
        linearSpace_ =
            ColorSpace{candidate.name.empty() ? std::string() : "Linear " + candidate.name, *linear};
        space_ = std::move(candidate);
    } catch (const SheetRenderError&) {
        throw;
    } catch (const std::exception&) {
        cannotCreateImage();
    }
}

LinearSource::~LinearSource() = default;

void LinearSource::fetchCurves(int levels) {
    curves_ = ToneCurves::shared(space_.icc, linearSpace_.icc, levels);
}

void LinearSource::cache(IndexRange columns, IndexRange rows) {
    requireInside(columns, rows, width_, height_);
    if (raw_ || painter_) {
        return;
    }
    if (auto layout = RawLayout::make(*image_, space_)) {
        const int wanted = layout->deep ? 65536 : 256;
        if (!curves_ || curves_->levels() != wanted) {
            fetchCurves(wanted);
        }
        if (curves_ && curves_->levels() == wanted) {
            raw_ = layout;
            return;
        }
    }
    const bool deep = image_->sample != SampleType::uint8;
    if (!curves_ || deep != deep_) {
        fetchCurves(deep ? 65536 : 256);
    }
    deep_ = deep;
    preparePainter();
}

void LinearSource::preparePainter() {
    const DecodedImage& image = *image_;
    auto painter = std::make_unique<LinearSourcePainter>();
    painter->colour = colorChannels(image.model);
    painter->kind = image.model == ColorModel::lab ? LinearSourcePainter::Kind::f32
                    : deep_                        ? LinearSourcePainter::Kind::u16
                                                   : LinearSourcePainter::Kind::u8;
    painter->swap = image.sample != SampleType::uint8 && image.littleEndian != nativeLittleEndian;
    painter->alphaIndex = image.hasAlpha() ? painter->colour : -1;
    painter->premultiplied = image.alpha == AlphaMode::premultiplied;
    if (image.channels < painter->colour + (image.hasAlpha() ? 1 : 0)) {
        cannotCreateImage();
    }
    try {
        const std::string& profile = sourceProfile(image);
        painter->match = image.model != ColorModel::rgb || profile != space_.icc;
        if (painter->match) {
            const cmsContext context = paintingContext();
            cmsHPROFILE from = cmsOpenProfileFromMemTHR(context, profile.data(),
                                                        static_cast<cmsUInt32Number>(profile.size()));
            cmsHPROFILE to = cmsOpenProfileFromMemTHR(context, space_.icc.data(),
                                                      static_cast<cmsUInt32Number>(space_.icc.size()));
            const cmsUInt32Number space = image.model == ColorModel::gray   ? PT_GRAY
                                          : image.model == ColorModel::cmyk ? PT_CMYK
                                          : image.model == ColorModel::lab  ? PT_Lab
                                                                            : PT_RGB;
            const cmsUInt32Number bytes = static_cast<cmsUInt32Number>(painter->canonicalBytes());
            const cmsUInt32Number input = COLORSPACE_SH(space) |
                                          CHANNELS_SH(static_cast<cmsUInt32Number>(painter->colour)) |
                                          EXTRA_SH(1) | BYTES_SH(bytes) |
                                          (painter->kind == LinearSourcePainter::Kind::f32 ? FLOAT_SH(1) : 0);
            if (from && to) {
                painter->transform =
                    cmsCreateTransformTHR(context, from, input, to, deep_ ? TYPE_RGBA_16 : TYPE_RGBA_8,
                                          paintingIntent, cmsFLAGS_NOCACHE | cmsFLAGS_COPY_ALPHA);
            }
            if (from) {
                cmsCloseProfile(from);
            }
            if (to) {
                cmsCloseProfile(to);
            }
            if (!painter->transform) {
                cannotCreateImage();
            }
        }
    } catch (const SheetRenderError&) {
        throw;
    } catch (const std::exception&) {
        cannotCreateImage();
    }
    painter_ = std::move(painter);
}

void LinearSource::paint(IndexRange columns, IndexRange rows, std::uint8_t* bitmap) const {
    const DecodedImage& image = *image_;
    const LinearSourcePainter& p = *painter_;
    switch (image.sample) {
    case SampleType::uint8:
        paintWindow<std::uint8_t, std::uint8_t>(image, p, mapping_, columns, rows, bitmap, false);
        break;
    case SampleType::uint16:
        paintWindow<std::uint16_t, std::uint16_t>(image, p, mapping_, columns, rows, bitmap, true);
        break;
    case SampleType::float32:
        if (p.kind == LinearSourcePainter::Kind::f32) {
            paintWindow<float, float>(image, p, mapping_, columns, rows, bitmap, true);
        } else {
            paintWindow<float, std::uint16_t>(image, p, mapping_, columns, rows, bitmap, true);
        }
        break;
    }
}

void LinearSource::draw(IndexRange columns, IndexRange rows, Pixel* into) {
    requireInside(columns, rows, width_, height_);
    if (!raw_ && !painter_) {
        cache(columns, rows);
    }
    if (raw_ && curves_) {
        drawRaw(columns, rows, into);
        return;
    }
    // The window's rows in the working space, at the photo's own depth, only for as long as they are
    // linearised: the photo itself stays the only full copy.
    std::size_t bytes = 0;
    if (__builtin_mul_overflow(static_cast<std::size_t>(columns.count()),
                               static_cast<std::size_t>(rows.count()), &bytes) ||
        __builtin_mul_overflow(bytes, static_cast<std::size_t>(deep_ ? 8 : 4), &bytes)) {
        cannotCreateImage();
    }
    PageBuffer bitmap;
    try {
        bitmap = PageBuffer(bytes);
    } catch (const std::bad_alloc&) {
        cannotCreateImage();
    }
    paint(columns, rows, bitmap.as<std::uint8_t>());
    if (curves_) {
        drawPaintedWithCurves(bitmap.as<std::uint8_t>(), columns.count(), rows.count(), into);
    } else {
        drawPaintedWithTransforms(bitmap.as<std::uint8_t>(), columns.count(), rows.count(), into);
    }
}

void LinearSource::drawRaw(IndexRange columns, IndexRange rows, Pixel* into) const {
    const bool swap = raw_->deep && raw_->littleEndian != nativeLittleEndian;
    if (!raw_->deep) {
        rawWindow<false, false>(*image_, *raw_, *curves_, mapping_, columns, rows, into);
    } else if (swap) {
        rawWindow<true, true>(*image_, *raw_, *curves_, mapping_, columns, rows, into);
    } else {
        rawWindow<true, false>(*image_, *raw_, *curves_, mapping_, columns, rows, into);
    }
}

void LinearSource::drawPaintedWithCurves(const std::uint8_t* bitmap, int cols, int count, Pixel* into) const {
    const std::size_t stride = static_cast<std::size_t>(cols);
    const float* red = curves_->toLinear().data();
    const float* green = red + curves_->levels();
    const float* blue = green + curves_->levels();
    const bool deep = deep_;
    LanczosResampler::parallel(count, [&](int r) {
        Pixel* out = into + static_cast<std::size_t>(r) * stride;
        const std::size_t first = static_cast<std::size_t>(r) * stride * 4;
        if (deep) {
            const auto* px = reinterpret_cast<const std::uint16_t*>(bitmap) + first;
            for (int c = 0; c < cols; ++c, px += 4) {
                out[c] = Pixel{red[px[0]], green[px[1]], blue[px[2]], 1.0f};
            }
        } else {
            const std::uint8_t* px = bitmap + first;
            for (int c = 0; c < cols; ++c, px += 4) {
                out[c] = Pixel{red[px[0]], green[px[1]], blue[px[2]], 1.0f};
            }
        }
    });
}

void LinearSource::drawPaintedWithTransforms(const std::uint8_t* bitmap, int cols, int count, Pixel* into) {
    const std::size_t stride = static_cast<std::size_t>(cols);
    const bool deep = deep_;
    LanczosResampler::parallel(count, [&](int r) {
        Pixel* out = into + static_cast<std::size_t>(r) * stride;
        const std::size_t first = static_cast<std::size_t>(r) * stride * 4;
        if (deep) {
            const auto* px = reinterpret_cast<const std::uint16_t*>(bitmap) + first;
            for (int c = 0; c < cols; ++c, px += 4) {
                out[c] = Pixel{px[0] / 65535.0f, px[1] / 65535.0f, px[2] / 65535.0f, px[3] / 65535.0f};
            }
        } else {
            const std::uint8_t* px = bitmap + first;
            for (int c = 0; c < cols; ++c, px += 4) {
                out[c] = Pixel{px[0] / 255.0f, px[1] / 255.0f, px[2] / 255.0f, px[3] / 255.0f};
            }
        }
    });
    if (toLinear_.empty()) {
        std::vector<ColorTransform> transforms;
        for (int i = 0, n = SheetRenderer::conversionWorkers(); i < n; ++i) {
            transforms.emplace_back(space_.icc, linearSpace_.icc, RenderingIntent::relativeColorimetric,
                                    false);
        }
        toLinear_ = std::move(transforms);
    }
    // One slice per transform, so that no transform serves two threads; the first failure is kept and thrown
    // once every slice has run.
    const int slices = static_cast<int>(toLinear_.size());
    const int rowsPerSlice = (count + slices - 1) / slices;
    std::mutex firstErrorLock;
    std::exception_ptr firstError;
    ParallelLoop::runJobs(slices, [&](int k) {
        const int start = k * rowsPerSlice;
        const int length = std::min(count - start, rowsPerSlice);
        if (length < 1) {
            return;
        }
        try {
            Pixel* slice = into + static_cast<std::size_t>(start) * static_cast<std::size_t>(cols);
            toLinear_[static_cast<std::size_t>(k)].convert(slice, ColorTransform::Layout::floatRGBA, slice,
                                                           ColorTransform::Layout::floatRGBA, cols, length);
        } catch (...) {
            std::lock_guard<std::mutex> guard(firstErrorLock);
            if (!firstError) {
                firstError = std::current_exception();
            }
        }
    });
    if (firstError) {
        std::rethrow_exception(firstError);
    }
}

} // namespace PrintKit
