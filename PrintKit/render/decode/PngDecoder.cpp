#include "PrintKit/render/decode/PngDecoder.h"

#include "PrintKit/render/color/ColorSpace.h"
#include "PrintKit/render/decode/DecoderSupport.h"
#include "PrintKit/render/decode/ExifOrientation.h"

#include <algorithm>
#include <csetjmp>
#include <png.h>
#include <span>
#include <vector>

// libpng reports errors by longjmp to the buffer set with setjmp(png_jmpbuf(...)). Every libpng call that
// can fail is made from a small C-style function below that sets that buffer itself and holds no C++ object
// needing destruction; the C++ side owns the structures and destroys them on every exit.

namespace PrintKit::PngDecoder {

namespace {

// Ancillary chunks (an embedded profile among them) may not make libpng allocate more than this.
constexpr png_alloc_size_t maxChunkBytes = 64u << 20;

struct Session {
    png_structp png;
    png_infop info;
    const ByteSource* source;
    std::uint64_t position;
};

extern "C" void pngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

extern "C" void pngWarning(png_structp, png_const_charp) {}

extern "C" void pngRead(png_structp png, png_bytep data, size_t length) {
    auto* session = static_cast<Session*>(png_get_io_ptr(png));
    if (!session->source->readExactly(session->position, data, length)) {
        png_error(png, "truncated");
    }
    session->position += length;
}

bool readInfo(Session* s, png_uint_32 maxDimension) {
    if (setjmp(png_jmpbuf(s->png))) {
        return false;
    }
    png_set_read_fn(s->png, s, pngRead);
    png_set_user_limits(s->png, maxDimension, maxDimension);
    png_set_chunk_cache_max(s->png, 1000);
    png_set_chunk_malloc_max(s->png, maxChunkBytes);
    png_read_info(s->png, s->info);
    return true;
}

bool prepare(Session* s) {
    if (setjmp(png_jmpbuf(s->png))) {
        return false;
    }
    png_byte colorType = png_get_color_type(s->png, s->info);
    png_byte depth = png_get_bit_depth(s->png, s->info);
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        png_set_palette_to_rgb(s->png);
    }
    if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8) {
        png_set_expand_gray_1_2_4_to_8(s->png);
    }
    if (png_get_valid(s->png, s->info, PNG_INFO_tRNS)) {
        png_set_tRNS_to_alpha(s->png);
    }
    png_set_interlace_handling(s->png);
    png_read_update_info(s->png, s->info);
    return true;
}

bool readImage(Session* s, png_bytepp rows) {
    if (setjmp(png_jmpbuf(s->png))) {
        return false;
    }
    png_read_image(s->png, rows);
    return true;
}

class SessionOwner {
public:
    explicit SessionOwner(const ByteSource& source) : session_{} {
        session_.source = &source;
        session_.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
        session_.info = session_.png ? png_create_info_struct(session_.png) : nullptr;
        if (!session_.info) {
            destroy();
            source.fail();
        }
    }
    ~SessionOwner() { destroy(); }
    SessionOwner(const SessionOwner&) = delete;
    SessionOwner& operator=(const SessionOwner&) = delete;
    Session* get() { return &session_; }

private:
    void destroy() {
        if (session_.png) {
            png_destroy_read_struct(&session_.png, session_.info ? &session_.info : nullptr, nullptr);
        }
    }
    Session session_;
};

Session* open(SessionOwner& owner, const ByteSource& source, const DecodeLimits& limits) {
    Session* s = owner.get();
    png_uint_32 maxDimension = static_cast<png_uint_32>(std::clamp(limits.maxDimension, 1, 0x7FFFFFFF));
    if (!readInfo(s, maxDimension) ||
        !DecoderSupport::sizeAllowed(png_get_image_width(s->png, s->info),
                                     png_get_image_height(s->png, s->info), limits)) {
        source.fail();
    }
    return s;
}

int orientationOf(Session* s) {
    png_uint_32 length = 0;
    png_bytep exif = nullptr;
    if (png_get_eXIf_1(s->png, s->info, &length, &exif) && exif && length > 0) {
        return ExifOrientation::normalized(
            ExifOrientation::fromTiffBytes(std::span<const std::uint8_t>(exif, length)));
    }
    return 1;
}

} // namespace

ImageInfo probe(const ByteSource& source, const DecodeLimits& limits) {
    SessionOwner owner(source);
    Session* s = open(owner, source, limits);
    return ImageInfo{ImageFormat::png, static_cast<int>(png_get_image_width(s->png, s->info)),
                     static_cast<int>(png_get_image_height(s->png, s->info)), orientationOf(s)};
}

DecodedImage decode(const ByteSource& source, const DecodeLimits& limits) {
    SessionOwner owner(source);
    Session* s = open(owner, source, limits);
    std::string icc;
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileLength = 0;
    if (png_get_iCCP(s->png, s->info, &name, &compression, &profile, &profileLength) && profile &&
        profileLength > 0) {
        icc.assign(reinterpret_cast<const char*>(profile), profileLength);
    } else if (png_get_valid(s->png, s->info, PNG_INFO_sRGB)) {
        icc = ColorSpace::sRGB().icc;
    }
    int orientation = orientationOf(s);

    if (!prepare(s)) {
        source.fail();
    }
    png_byte colorType = png_get_color_type(s->png, s->info);
    png_byte depth = png_get_bit_depth(s->png, s->info);
    int channels = png_get_channels(s->png, s->info);
    ColorModel model = (colorType & PNG_COLOR_MASK_COLOR) ? ColorModel::rgb : ColorModel::gray;
    bool alpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0;
    if ((depth != 8 && depth != 16) || channels != colorChannels(model) + (alpha ? 1 : 0)) {
        source.fail();
    }
    DecodedImage image = DecoderSupport::allocate(
        source, ImageFormat::png, png_get_image_width(s->png, s->info), png_get_image_height(s->png, s->info),
        model, channels, depth == 16 ? SampleType::uint16 : SampleType::uint8,
        alpha ? AlphaMode::straight : AlphaMode::none, limits);
    if (png_get_rowbytes(s->png, s->info) != image.bytesPerRow) {
        source.fail();
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y) {
        rows[static_cast<std::size_t>(y)] = image.row(y);
    }
    if (!readImage(s, rows.data())) {
        source.fail();
    }
    image.littleEndian = false; // PNG's 16-bit samples, as the file stores them
    image.icc = std::move(icc);
    image.orientation = orientation;
    return image;
}

} // namespace PrintKit::PngDecoder
