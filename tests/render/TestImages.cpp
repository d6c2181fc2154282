#include "TestImages.h"

#include "TestSupport.h"

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <functional>
#include <libheif/heif.h>
#include <memory>
#include <png.h>
#include <stdexcept>
#include <tiffio.h>
// clang-format off
#include <jpeglib.h>
// clang-format on

// The HEVC encoder behind libheif keeps a few buffers for the life of the process; they belong to the
// writer of test files, not to the code under test, so the leak checker is told to pass over them. So does
// fontconfig (which the caption strips' text layout loads): its configuration and font patterns are made
// once and kept until the process ends. (One list for the whole test program, which can have only one.)
extern "C" const char* __lsan_default_suppressions() {
    return "leak:x265_malloc\nleak:libfontconfig.so\n";
}

namespace TestImages {

Pixels distinct(int width, int height, int channels, int bits) {
    Pixels p{width, height, channels, bits,
             std::vector<std::uint16_t>(static_cast<std::size_t>(width) * height * channels)};
    // Distinct per pixel as long as width × height × channels stays below the modulus.
    for (std::size_t i = 0; i < p.samples.size(); ++i) {
        p.samples[i] = static_cast<std::uint16_t>(bits == 8 ? (i * 7 + 3) % 256 : (i * 1031 + 17) % 65536);
    }
    return p;
}

Pixels solid(int width, int height, std::vector<std::uint16_t> colour, int bits) {
    Pixels p{width, height, static_cast<int>(colour.size()), bits, {}};
    for (int i = 0; i < width * height; ++i) {
        p.samples.insert(p.samples.end(), colour.begin(), colour.end());
    }
    return p;
}

Pixels scene(int width, int height, int bits) {
    Pixels p = solid(width, height, {0, 0, 0}, bits);
    const double top = bits == 8 ? 255.0 : 65535.0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double dx = (x - width / 2.0) / width, dy = (y - height / 2.0) / height;
            const bool disc = dx * dx + dy * dy < 0.04;
            const double rgb[3] = {disc ? 0.1 : 0.15 + 0.8 * x / std::max(width - 1, 1),
                                   disc ? 0.05 : 0.9 - 0.7 * y / std::max(height - 1, 1),
                                   (x / 2 + y / 2) % 2 == 0 ? 0.8 : 0.3};
            for (int c = 0; c < 3; ++c) {
                p.at(x, y, c) = static_cast<std::uint16_t>(rgb[c] * top + 0.5);
            }
        }
    }
    return p;
}

Pixels quadrants(int width, int height, Colour tl, Colour tr, Colour bl, Colour br) {
    Pixels p = solid(width, height, {0, 0, 0});
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Colour& c = y >= height / 2 ? (x >= width / 2 ? br : bl) : (x >= width / 2 ? tr : tl);
            std::copy(c.begin(), c.end(), &p.at(x, y, 0));
        }
    }
    return p;
}

void write(const std::filesystem::path& path, const std::string& bytes) {
    TestSupport::writeFile(path, bytes);
}

double sampleOf(const PrintKit::DecodedImage& image, int x, int y, int c) {
    const std::uint8_t* at = image.row(y) + static_cast<std::size_t>(x) * image.bytesPerPixel() +
                             static_cast<std::size_t>(c) * PrintKit::bytesPerSample(image.sample);
    std::uint8_t bytes[4];
    const int size = PrintKit::bytesPerSample(image.sample);
    for (int i = 0; i < size; ++i) { // most significant byte first
        bytes[i] = image.littleEndian ? at[size - 1 - i] : at[i];
    }
    switch (image.sample) {
    case PrintKit::SampleType::uint8:
        return bytes[0];
    case PrintKit::SampleType::uint16:
        return bytes[0] << 8 | bytes[1];
    case PrintKit::SampleType::float32:
        return std::bit_cast<float>(std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
                                    std::uint32_t{bytes[2]} << 8 | bytes[3]);
    }
    return 0;
}

PrintKit::DecodedImage decoded(const Pixels& pixels, PrintKit::ColorModel model, PrintKit::AlphaMode alpha,
                               bool littleEndian, int orientation) {
    PrintKit::DecodedImage image;
    image.format = PrintKit::ImageFormat::tiff;
    image.width = pixels.width;
    image.height = pixels.height;
    image.model = model;
    image.channels = pixels.channels;
    image.sample = pixels.bits == 16 ? PrintKit::SampleType::uint16 : PrintKit::SampleType::uint8;
    image.littleEndian = littleEndian;
    image.alpha = alpha;
    image.orientation = orientation;
    image.bytesPerRow = static_cast<std::size_t>(pixels.width) * image.bytesPerPixel();
    image.pixels = PrintKit::PixelBytes(image.bytesPerRow * static_cast<std::size_t>(pixels.height));
    std::uint8_t* out = image.pixels.data();
    for (std::uint16_t v : pixels.samples) {
        if (pixels.bits == 16) {
            *out++ = static_cast<std::uint8_t>(littleEndian ? v & 0xFF : v >> 8);
            *out++ = static_cast<std::uint8_t>(littleEndian ? v >> 8 : v & 0xFF);
        } else {
            *out++ = static_cast<std::uint8_t>(v);
        }
    }
    return image;
}

// --- EXIF ---

std::string exif(std::optional<int> orientation, bool big, const std::string& thumbnail) {
    std::string out = big ? "MM" : "II";
    auto u16 = [&](unsigned v) {
        out += big ? std::string{char(v >> 8), char(v)} : std::string{char(v), char(v >> 8)};
    };
    auto u32 = [&](std::uint32_t v) {
        big ? (u16(v >> 16), u16(v & 0xFFFF)) : (u16(v & 0xFFFF), u16(v >> 16));
    };
    auto entry = [&](unsigned tag, unsigned type, std::uint32_t value) {
        u16(tag);
        u16(type);
        u32(1);
        type == 3 ? (u16(value), u16(0)) : u32(value);
    };
    u16(42);
    u32(8);
    // IFD0: the orientation and a link to IFD1 when there is a thumbnail.
    const unsigned entries0 = orientation ? 1 : 0;
    const std::uint32_t ifd1 = 8 + 2 + entries0 * 12 + 4;
    u16(entries0);
    if (orientation) {
        entry(0x0112, 3, static_cast<std::uint32_t>(*orientation));
    }
    u32(thumbnail.empty() ? 0 : ifd1);
    if (!thumbnail.empty()) {
        u16(2);
        entry(0x0201, 4, ifd1 + 2 + 2 * 12 + 4); // JPEGInterchangeFormat
        entry(0x0202, 4, static_cast<std::uint32_t>(thumbnail.size()));
        u32(0);
        out += thumbnail;
    }
    return out;
}

// --- JPEG (libjpeg longjmps only inside this C-style function, which owns no C++ object) ---

namespace {

struct JpegJob {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    std::jmp_buf jump;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
};

extern "C" void testJpegExit(j_common_ptr cinfo) {
    std::longjmp(static_cast<JpegJob*>(cinfo->client_data)->jump, 1);
}

bool compressJpeg(JpegJob* job, const Pixels* p, const JpegOptions* options, const std::uint8_t* samples,
                  const std::string* app1) {
    job->cinfo.err = jpeg_std_error(&job->errors);
    job->errors.error_exit = testJpegExit;
    job->cinfo.client_data = job;
    if (setjmp(job->jump)) {
        jpeg_destroy_compress(&job->cinfo);
        return false;
    }
    jpeg_create_compress(&job->cinfo);
    job->cinfo.client_data = job;
    jpeg_mem_dest(&job->cinfo, &job->buffer, &job->size);
    job->cinfo.image_width = static_cast<JDIMENSION>(p->width);
    job->cinfo.image_height = static_cast<JDIMENSION>(p->height);
    job->cinfo.input_components = p->channels;
    job->cinfo.in_color_space = p->channels == 1 ? JCS_GRAYSCALE : p->channels == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&job->cinfo);
    jpeg_set_quality(&job->cinfo, options->quality, TRUE);
    for (int c = 0; c < job->cinfo.num_components; ++c) { // no chroma subsampling
        job->cinfo.comp_info[c].h_samp_factor = job->cinfo.comp_info[c].v_samp_factor = 1;
    }
    if (options->progressive) {
        jpeg_simple_progression(&job->cinfo);
    }
    jpeg_start_compress(&job->cinfo, TRUE);
    if (!app1->empty()) {
        jpeg_write_marker(&job->cinfo, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(app1->data()),
                          static_cast<unsigned>(app1->size()));
    }
    if (!options->icc.empty()) {
        jpeg_write_icc_profile(&job->cinfo, reinterpret_cast<const JOCTET*>(options->icc.data()),
                               static_cast<unsigned>(options->icc.size()));
    }
    while (job->cinfo.next_scanline < job->cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples + job->cinfo.next_scanline * p->width * p->channels);
        jpeg_write_scanlines(&job->cinfo, &row, 1);
    }
    jpeg_finish_compress(&job->cinfo);
    jpeg_destroy_compress(&job->cinfo);
    return true;
}

} // namespace

std::string jpeg(const Pixels& pixels, const JpegOptions& options) {
    const std::vector<std::uint8_t> samples(pixels.samples.begin(), pixels.samples.end());
    std::string app1;
    if (options.orientation || !options.thumbnail.empty()) {
        app1 = std::string("Exif\0\0", 6) + exif(options.orientation, true, options.thumbnail);
    }
    auto job = std::make_unique<JpegJob>();
    const bool ok = compressJpeg(job.get(), &pixels, &options, samples.data(), &app1);
    std::string bytes =
        ok ? std::string(reinterpret_cast<const char*>(job->buffer), job->size) : std::string();
    std::free(job->buffer);
    if (!ok) {
        throw std::runtime_error("libjpeg could not write the test image");
    }
    return bytes;
}

// --- PNG (the same for libpng's longjmp) ---

namespace {

extern "C" void testPngWrite(png_structp png, png_bytep data, size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}
extern "C" void testPngFlush(png_structp) {}

bool compressPng(png_structp png, png_infop info, std::string* out, const Pixels* p,
                 const PngOptions* options, png_bytepp rows, const std::string* exifBytes) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_write_fn(png, out, testPngWrite, testPngFlush);
    static const int types[] = {0, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                                PNG_COLOR_TYPE_RGB_ALPHA};
    png_set_IHDR(png, info, static_cast<png_uint_32>(p->width), static_cast<png_uint_32>(p->height), p->bits,
                 types[p->channels], options->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!options->icc.empty()) {
        png_set_iCCP(png, info, "test", 0, reinterpret_cast<png_const_bytep>(options->icc.data()),
                     static_cast<png_uint_32>(options->icc.size()));
    }
    if (options->srgb) {
        png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    }
    if (!exifBytes->empty()) {
        png_set_eXIf_1(png, info, static_cast<png_uint_32>(exifBytes->size()),
                       reinterpret_cast<png_bytep>(const_cast<char*>(exifBytes->data())));
    }
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

} // namespace

std::string png(const Pixels& pixels, const PngOptions& options) {
    // PNG stores 16-bit samples big-endian.
    const std::size_t bytes = pixels.bits == 16 ? 2 : 1;
    const std::size_t stride = static_cast<std::size_t>(pixels.width) * pixels.channels * bytes;
    std::vector<std::uint8_t> data;
    for (std::uint16_t v : pixels.samples) {
        if (bytes == 2) {
            data.push_back(static_cast<std::uint8_t>(v >> 8));
        }
        data.push_back(static_cast<std::uint8_t>(v & 0xFF));
    }
    std::vector<png_bytep> rows;
    for (int y = 0; y < pixels.height; ++y) {
        rows.push_back(data.data() + stride * static_cast<std::size_t>(y));
    }
    const std::string exifBytes = options.orientation ? exif(options.orientation) : std::string();
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    const bool ok = compressPng(png, info, &out, &pixels, &options, rows.data(), &exifBytes);
    png_destroy_write_struct(&png, &info);
    if (!ok) {
        throw std::runtime_error("libpng could not write the test image");
    }
    return out;
}

// --- TIFF, written to a temporary file by libtiff itself ---

namespace {

void writeDirectory(TIFF* tif, int width, int height, int channels, int bits, bool floating,
                    const std::uint8_t* samples, const TiffOptions& o) {
    const std::size_t sampleBytes = static_cast<std::size_t>(bits / 8), pixelBytes = sampleBytes * channels;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, static_cast<std::uint16_t>(channels));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, static_cast<std::uint16_t>(bits));
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, floating ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT);
    const int photometric = o.photometric >= 0 ? o.photometric
                            : channels >= 3    ? PHOTOMETRIC_RGB
                                               : PHOTOMETRIC_MINISBLACK;
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, static_cast<std::uint16_t>(photometric));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, o.planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, static_cast<std::uint16_t>(o.compression));
    if (o.orientation) {
        TIFFSetField(tif, TIFFTAG_ORIENTATION, static_cast<std::uint16_t>(*o.orientation));
    }
    if (!o.icc.empty()) {
        TIFFSetField(tif, TIFFTAG_ICCPROFILE, static_cast<std::uint32_t>(o.icc.size()), o.icc.data());
    }
    if (o.whitePoint) {
        float xy[2] = {o.whitePoint->first, o.whitePoint->second};
        TIFFSetField(tif, TIFFTAG_WHITEPOINT, xy);
    }
    if (o.extraSample >= 0) {
        std::uint16_t type = static_cast<std::uint16_t>(o.extraSample);
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &type);
    }
    // A block of the image (a strip of rows, or a tile) in the file's layout, one plane at a time.
    const int tile = o.tiled ? 16 : 0, planes = o.planar ? channels : 1;
    const std::size_t unit = o.planar ? sampleBytes : pixelBytes;
    auto block = [&](int plane, int x0, int y0, int w, int h) {
        std::vector<std::uint8_t> out(unit * w * h, 0);
        for (int y = y0; y < std::min(height, y0 + h); ++y) {
            for (int x = x0; x < std::min(width, x0 + w); ++x) {
                std::memcpy(out.data() + unit * ((y - y0) * w + (x - x0)),
                            samples + pixelBytes * (static_cast<std::size_t>(y) * width + x) +
                                sampleBytes * plane * o.planar,
                            unit);
            }
        }
        return out;
    };
    if (tile) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, tile);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, tile);
    } else if (o.rowsPerStrip > 0) {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(o.rowsPerStrip));
    }
    for (int plane = 0; plane < planes; ++plane) {
        for (int y = 0; y < height; y += tile ? tile : 1) {
            for (int x = 0; x < (tile ? width : 1); x += tile ? tile : 1) {
                auto bytes = block(plane, x, y, tile ? tile : width, tile ? tile : 1);
                tile ? TIFFWriteTile(tif, bytes.data(), x, y, 0, static_cast<std::uint16_t>(plane))
                     : TIFFWriteScanline(tif, bytes.data(), static_cast<std::uint32_t>(y),
                                         static_cast<std::uint16_t>(plane));
            }
        }
    }
    TIFFWriteDirectory(tif);
}

std::vector<std::uint8_t> nativeSamples(const Pixels& p) {
    std::vector<std::uint8_t> out(p.samples.size() * (p.bits == 16 ? 2 : 1));
    for (std::size_t i = 0; i < p.samples.size(); ++i) {
        p.bits == 16 ? void(std::memcpy(out.data() + 2 * i, &p.samples[i], 2))
                     : void(out[i] = static_cast<std::uint8_t>(p.samples[i]));
    }
    return out;
}

std::string writeTiff(const std::function<void(TIFF*)>& body, bool bigEndian) {
    TestSupport::TemporaryDirectory folder;
    TIFF* tif = TIFFOpen((folder / "image.tif").c_str(), bigEndian ? "wb" : "wl");
    if (!tif) {
        throw std::runtime_error("libtiff could not write the test image");
    }
    body(tif);
    TIFFClose(tif);
    return TestSupport::readFile(folder / "image.tif");
}

} // namespace

std::string tiff(const Pixels& pixels, const TiffOptions& options) {
    return writeTiff(
        [&](TIFF* tif) {
            writeDirectory(tif, pixels.width, pixels.height, pixels.channels, pixels.bits, false,
                           nativeSamples(pixels).data(), options);
            for (const Pixels& page : options.morePages) {
                writeDirectory(tif, page.width, page.height, page.channels, page.bits, false,
                               nativeSamples(page).data(), {});
            }
        },
        options.bigEndian);
}

std::string tiffFloat(int width, int height, int channels, const std::vector<float>& samples,
                      const TiffOptions& options) {
    return writeTiff(
        [&](TIFF* tif) {
            writeDirectory(tif, width, height, channels, 32, true,
                           reinterpret_cast<const std::uint8_t*>(samples.data()), options);
        },
        options.bigEndian);
}

// --- HEIF ---

namespace {

heif_image* heifImage(const Pixels& p, int bits) {
    heif_image* image = nullptr;
    bool alpha = p.channels == 4;
    heif_chroma chroma =
        bits > 8 ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
                 : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    if (heif_image_create(p.width, p.height, heif_colorspace_RGB, chroma, &image).code != heif_error_Ok ||
        heif_image_add_plane(image, heif_channel_interleaved, p.width, p.height, bits).code !=
            heif_error_Ok) {
        throw std::runtime_error("libheif could not make the test image");
    }
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            for (int c = 0; c < p.channels; ++c) {
                std::uint16_t v = p.at(x, y, c);
                if (bits > 8) {
                    std::uint8_t* at = plane + y * stride + (x * p.channels + c) * 2;
                    at[0] = static_cast<std::uint8_t>(v & 0xFF);
                    at[1] = static_cast<std::uint8_t>(v >> 8);
                } else {
                    plane[y * stride + x * p.channels + c] = static_cast<std::uint8_t>(v);
                }
            }
        }
    }
    return image;
}

extern "C" heif_error testHeifWrite(heif_context*, const void* data, size_t size, void* user) {
    static_cast<std::string*>(user)->append(static_cast<const char*>(data), size);
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

} // namespace

std::string heif(const Pixels& pixels, const HeifOptions& options) {
    std::unique_ptr<heif_context, void (*)(heif_context*)> context(heif_context_alloc(), heif_context_free);
    heif_encoder* rawEncoder = nullptr;
    if (heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &rawEncoder).code !=
        heif_error_Ok) {
        throw std::runtime_error("no HEVC encoder");
    }
    std::unique_ptr<heif_encoder, void (*)(heif_encoder*)> encoder(rawEncoder, heif_encoder_release);
    heif_encoder_set_lossless(encoder.get(), 1);
    heif_encoder_set_parameter(encoder.get(), "chroma", "444");
    std::unique_ptr<heif_image, void (*)(const heif_image*)> image(heifImage(pixels, options.bits),
                                                                   heif_image_release);
    if (!options.icc.empty()) {
        heif_image_set_raw_color_profile(image.get(), "prof", options.icc.data(), options.icc.size());
    }
    std::unique_ptr<heif_color_profile_nclx, void (*)(heif_color_profile_nclx*)> nclx(
        heif_nclx_color_profile_alloc(), heif_nclx_color_profile_free);
    nclx->matrix_coefficients = heif_matrix_coefficients_RGB_GBR;
    nclx->full_range_flag = 1;
    std::unique_ptr<heif_encoding_options, void (*)(heif_encoding_options*)> encoding(
        heif_encoding_options_alloc(), heif_encoding_options_free);
    encoding->output_nclx_profile = nclx.get();
    // Write the colour box even for the default description (libheif leaves it out for macOS otherwise).
    encoding->macOS_compatibility_workaround_no_nclx_profile = 0;
    encoding->image_orientation = static_cast<heif_orientation>(options.orientation);
    heif_image_handle* handle = nullptr;
    if (heif_context_encode_image(context.get(), image.get(), encoder.get(), encoding.get(), &handle).code !=
        heif_error_Ok) {
        throw std::runtime_error("libheif could not encode the test image");
    }
    if (options.thumbnail) {
        std::unique_ptr<heif_image, void (*)(const heif_image*)> thumb(heifImage(*options.thumbnail, 8),
                                                                       heif_image_release);
        heif_image_handle* thumbHandle = nullptr;
        heif_context_encode_thumbnail(context.get(), thumb.get(), handle, encoder.get(), encoding.get(),
                                      std::max(options.thumbnail->width, options.thumbnail->height),
                                      &thumbHandle);
        if (thumbHandle) {
            heif_image_handle_release(thumbHandle);
        }
    }
    heif_image_handle_release(handle);
    std::string out;
    heif_writer writer{1, testHeifWrite};
    if (heif_context_write(context.get(), &writer, &out).code != heif_error_Ok) {
        throw std::runtime_error("libheif could not write the test image");
    }
    return out;
}

} // namespace TestImages
