#include "TestImages.h"

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <functional>
#include <lcms2.h>
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
    Pixels p{width, height, channels, bits, {}};
    p.samples.resize(static_cast<std::size_t>(width) * height * channels);
    const unsigned modulus = bits == 8 ? 256 : 65536;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            unsigned index = static_cast<unsigned>(y * width + x);
            for (int c = 0; c < channels; ++c) {
                // Distinct per pixel as long as width × height × channels stays below the modulus.
                unsigned v =
                    bits == 8
                        ? (index * static_cast<unsigned>(channels) + static_cast<unsigned>(c)) * 7u + 3u
                        : (index * static_cast<unsigned>(channels) + static_cast<unsigned>(c)) * 1031u + 17u;
                p.at(x, y, c) = static_cast<std::uint16_t>(v % modulus);
            }
        }
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

void write(const std::filesystem::path& path, const std::string& bytes) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

double sampleOf(const PrintKit::DecodedImage& image, int x, int y, int c) {
    const std::uint8_t* at = image.row(y) + static_cast<std::size_t>(x) * image.bytesPerPixel() +
                             static_cast<std::size_t>(c) * PrintKit::bytesPerSample(image.sample);
    switch (image.sample) {
    case PrintKit::SampleType::uint8:
        return *at;
    case PrintKit::SampleType::uint16:
        return image.littleEndian ? at[0] | at[1] << 8 : at[0] << 8 | at[1];
    case PrintKit::SampleType::float32: {
        std::uint32_t bits =
            image.littleEndian
                ? static_cast<std::uint32_t>(at[0] | at[1] << 8 | at[2] << 16) | std::uint32_t{at[3]} << 24
                : static_cast<std::uint32_t>(at[3] | at[2] << 8 | at[1] << 16) | std::uint32_t{at[0]} << 24;
        return std::bit_cast<float>(bits);
    }
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

namespace {

struct TiffWriter {
    bool big;
    std::string out;
    void u16(unsigned v) {
        char b[2] = {static_cast<char>(big ? v >> 8 : v), static_cast<char>(big ? v : v >> 8)};
        out.append(b, 2);
    }
    void u32(std::uint32_t v) {
        if (big) {
            u16(v >> 16);
            u16(v & 0xFFFF);
        } else {
            u16(v & 0xFFFF);
            u16(v >> 16);
        }
    }
};

} // namespace

std::string exif(std::optional<int> orientation, bool bigEndian, const std::string& thumbnail) {
    TiffWriter w{bigEndian, {}};
    w.out += bigEndian ? "MM" : "II";
    w.u16(42);
    w.u32(8);
    // IFD0: the orientation and a link to IFD1 when there is a thumbnail.
    const unsigned entries0 = orientation ? 1 : 0;
    const std::uint32_t ifd1 = 8 + 2 + entries0 * 12 + 4;
    w.u16(entries0);
    if (orientation) {
        w.u16(0x0112);
        w.u16(3);
        w.u32(1);
        w.u16(static_cast<unsigned>(*orientation));
        w.u16(0);
    }
    w.u32(thumbnail.empty() ? 0 : ifd1);
    if (!thumbnail.empty()) {
        const std::uint32_t data = ifd1 + 2 + 2 * 12 + 4;
        w.u16(2);
        w.u16(0x0201); // JPEGInterchangeFormat
        w.u16(4);
        w.u32(1);
        w.u32(data);
        w.u16(0x0202); // JPEGInterchangeFormatLength
        w.u16(4);
        w.u32(1);
        w.u32(static_cast<std::uint32_t>(thumbnail.size()));
        w.u32(0);
        w.out += thumbnail;
    }
    return w.out;
}

// --- JPEG ---

namespace {

struct JpegFailure {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

extern "C" void testJpegExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegFailure*>(cinfo->err)->jump, 1);
}

struct JpegJob {
    jpeg_compress_struct cinfo;
    JpegFailure failure;
    unsigned char* buffer;
    unsigned long size;
};

bool compressJpeg(JpegJob* job, const Pixels* p, const JpegOptions* options, const std::uint8_t* samples,
                  const std::string* app1) {
    job->cinfo.err = jpeg_std_error(&job->failure.manager);
    job->failure.manager.error_exit = testJpegExit;
    if (setjmp(job->failure.jump)) {
        jpeg_destroy_compress(&job->cinfo);
        return false;
    }
    jpeg_create_compress(&job->cinfo);
    jpeg_mem_dest(&job->cinfo, &job->buffer, &job->size);
    job->cinfo.image_width = static_cast<JDIMENSION>(p->width);
    job->cinfo.image_height = static_cast<JDIMENSION>(p->height);
    job->cinfo.input_components = p->channels;
    job->cinfo.in_color_space = p->channels == 1 ? JCS_GRAYSCALE : p->channels == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&job->cinfo);
    jpeg_set_quality(&job->cinfo, options->quality, TRUE);
    for (int c = 0; c < job->cinfo.num_components; ++c) { // no chroma subsampling
        job->cinfo.comp_info[c].h_samp_factor = 1;
        job->cinfo.comp_info[c].v_samp_factor = 1;
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
    const std::size_t stride = static_cast<std::size_t>(p->width) * static_cast<std::size_t>(p->channels);
    while (job->cinfo.next_scanline < job->cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples + job->cinfo.next_scanline * stride);
        jpeg_write_scanlines(&job->cinfo, &row, 1);
    }
    jpeg_finish_compress(&job->cinfo);
    jpeg_destroy_compress(&job->cinfo);
    return true;
}

} // namespace

std::string jpeg(const Pixels& pixels, const JpegOptions& options) {
    std::vector<std::uint8_t> samples(pixels.samples.begin(), pixels.samples.end());
    std::string app1;
    if (options.orientation || !options.thumbnail.empty()) {
        app1 = std::string("Exif\0\0", 6) + exif(options.orientation, true, options.thumbnail);
    }
    auto job = std::make_unique<JpegJob>();
    job->buffer = nullptr;
    job->size = 0;
    bool ok = compressJpeg(job.get(), &pixels, &options, samples.data(), &app1);
    std::string bytes =
        ok ? std::string(reinterpret_cast<const char*>(job->buffer), job->size) : std::string();
    std::free(job->buffer);
    if (!ok) {
        throw std::runtime_error("libjpeg could not write the test image");
    }
    return bytes;
}

// --- PNG ---

namespace {

struct PngJob {
    png_structp png;
    png_infop info;
    std::string* out;
};

extern "C" void testPngWrite(png_structp png, png_bytep data, size_t length) {
    static_cast<PngJob*>(png_get_io_ptr(png))->out->append(reinterpret_cast<const char*>(data), length);
}
extern "C" void testPngFlush(png_structp) {}

bool compressPng(PngJob* job, const Pixels* p, const PngOptions* options, png_bytepp rows,
                 const std::string* exifBytes) {
    if (setjmp(png_jmpbuf(job->png))) {
        return false;
    }
    png_set_write_fn(job->png, job, testPngWrite, testPngFlush);
    static const int types[] = {0, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                                PNG_COLOR_TYPE_RGB_ALPHA};
    png_set_IHDR(job->png, job->info, static_cast<png_uint_32>(p->width), static_cast<png_uint_32>(p->height),
                 p->bits, types[p->channels], options->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!options->icc.empty()) {
        png_set_iCCP(job->png, job->info, "test", 0, reinterpret_cast<png_const_bytep>(options->icc.data()),
                     static_cast<png_uint_32>(options->icc.size()));
    }
    if (options->srgb) {
        png_set_sRGB(job->png, job->info, PNG_sRGB_INTENT_PERCEPTUAL);
    }
    if (!exifBytes->empty()) {
        png_set_eXIf_1(job->png, job->info, static_cast<png_uint_32>(exifBytes->size()),
                       reinterpret_cast<png_bytep>(const_cast<char*>(exifBytes->data())));
    }
    png_write_info(job->png, job->info);
    png_write_image(job->png, rows);
    png_write_end(job->png, nullptr);
    return true;
}

} // namespace

std::string png(const Pixels& pixels, const PngOptions& options) {
    // PNG stores 16-bit samples big-endian.
    const std::size_t bytes = pixels.bits == 16 ? 2 : 1;
    const std::size_t stride =
        static_cast<std::size_t>(pixels.width) * static_cast<std::size_t>(pixels.channels) * bytes;
    std::vector<std::uint8_t> data(stride * static_cast<std::size_t>(pixels.height));
    for (std::size_t i = 0; i < pixels.samples.size(); ++i) {
        if (bytes == 2) {
            data[2 * i] = static_cast<std::uint8_t>(pixels.samples[i] >> 8);
            data[2 * i + 1] = static_cast<std::uint8_t>(pixels.samples[i] & 0xFF);
        } else {
            data[i] = static_cast<std::uint8_t>(pixels.samples[i]);
        }
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(pixels.height));
    for (int y = 0; y < pixels.height; ++y) {
        rows[static_cast<std::size_t>(y)] = data.data() + stride * static_cast<std::size_t>(y);
    }
    std::string exifBytes = options.orientation ? exif(options.orientation) : std::string();
    std::string out;
    PngJob job{png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr), nullptr, &out};
    job.info = png_create_info_struct(job.png);
    bool ok = compressPng(&job, &pixels, &options, rows.data(), &exifBytes);
    png_destroy_write_struct(&job.png, &job.info);
    if (!ok) {
        throw std::runtime_error("libpng could not write the test image");
    }
    return out;
}

// --- TIFF ---

namespace {

struct TiffBuffer {
    std::string data;
    std::uint64_t position = 0;
};

extern "C" tmsize_t testTiffRead(thandle_t h, void* buf, tmsize_t size) {
    auto* b = static_cast<TiffBuffer*>(h);
    std::uint64_t n = std::min<std::uint64_t>(
        static_cast<std::uint64_t>(size), b->position < b->data.size() ? b->data.size() - b->position : 0);
    std::memcpy(buf, b->data.data() + b->position, n);
    b->position += n;
    return static_cast<tmsize_t>(n);
}
extern "C" tmsize_t testTiffWrite(thandle_t h, void* buf, tmsize_t size) {
    auto* b = static_cast<TiffBuffer*>(h);
    std::uint64_t end = b->position + static_cast<std::uint64_t>(size);
    if (end > b->data.size()) {
        b->data.resize(end);
    }
    std::memcpy(b->data.data() + b->position, buf, static_cast<std::size_t>(size));
    b->position = end;
    return size;
}
extern "C" toff_t testTiffSeek(thandle_t h, toff_t off, int whence) {
    auto* b = static_cast<TiffBuffer*>(h);
    b->position = (whence == SEEK_CUR ? b->position : whence == SEEK_END ? b->data.size() : 0) + off;
    return b->position;
}
extern "C" int testTiffClose(thandle_t) {
    return 0;
}
extern "C" toff_t testTiffSize(thandle_t h) {
    return static_cast<TiffBuffer*>(h)->data.size();
}
extern "C" int testTiffMap(thandle_t, void**, toff_t*) {
    return 0;
}
extern "C" void testTiffUnmap(thandle_t, void*, toff_t) {}

void writeDirectory(TIFF* tif, int width, int height, int channels, int bits, bool floating,
                    const std::uint8_t* samples, const TiffOptions& o) {
    const std::size_t sampleBytes = static_cast<std::size_t>(bits / 8);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, static_cast<std::uint16_t>(channels));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, static_cast<std::uint16_t>(bits));
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, floating ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT);
    int photometric = o.photometric >= 0 ? o.photometric
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
    const std::size_t pixelBytes = sampleBytes * static_cast<std::size_t>(channels);
    const std::size_t rowBytes = pixelBytes * static_cast<std::size_t>(width);
    const int planes = o.planar ? channels : 1;
    auto sampleAt = [&](int x, int y, int c) {
        return samples + rowBytes * y + pixelBytes * x + sampleBytes * c;
    };
    if (o.tiled) {
        const int tile = 16;
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, tile);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, tile);
        const std::size_t tilePixel = o.planar ? sampleBytes : pixelBytes;
        std::vector<std::uint8_t> buffer(tilePixel * tile * tile);
        for (int plane = 0; plane < planes; ++plane) {
            for (int ty = 0; ty < height; ty += tile) {
                for (int tx = 0; tx < width; tx += tile) {
                    std::fill(buffer.begin(), buffer.end(), 0);
                    for (int y = ty; y < std::min(height, ty + tile); ++y) {
                        for (int x = tx; x < std::min(width, tx + tile); ++x) {
                            std::uint8_t* to = buffer.data() + tilePixel * ((y - ty) * tile + (x - tx));
                            std::memcpy(to, o.planar ? sampleAt(x, y, plane) : sampleAt(x, y, 0), tilePixel);
                        }
                    }
                    TIFFWriteTile(tif, buffer.data(), static_cast<std::uint32_t>(tx),
                                  static_cast<std::uint32_t>(ty), 0, static_cast<std::uint16_t>(plane));
                }
            }
        }
    } else {
        if (o.rowsPerStrip > 0) {
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(o.rowsPerStrip));
        }
        std::vector<std::uint8_t> row(o.planar ? sampleBytes * static_cast<std::size_t>(width) : rowBytes);
        for (int plane = 0; plane < planes; ++plane) {
            for (int y = 0; y < height; ++y) {
                if (o.planar) {
                    for (int x = 0; x < width; ++x) {
                        std::memcpy(row.data() + sampleBytes * x, sampleAt(x, y, plane), sampleBytes);
                    }
                } else {
                    std::memcpy(row.data(), sampleAt(0, y, 0), rowBytes);
                }
                TIFFWriteScanline(tif, row.data(), static_cast<std::uint32_t>(y),
                                  static_cast<std::uint16_t>(plane));
            }
        }
    }
    TIFFWriteDirectory(tif);
}

std::vector<std::uint8_t> nativeSamples(const Pixels& p) {
    std::vector<std::uint8_t> out(p.samples.size() * (p.bits == 16 ? 2 : 1));
    for (std::size_t i = 0; i < p.samples.size(); ++i) {
        if (p.bits == 16) {
            std::memcpy(out.data() + 2 * i, &p.samples[i], 2);
        } else {
            out[i] = static_cast<std::uint8_t>(p.samples[i]);
        }
    }
    return out;
}

std::string writeTiff(const std::function<void(TIFF*)>& body, bool bigEndian) {
    TiffBuffer buffer;
    TIFF* tif = TIFFClientOpen("test", bigEndian ? "wb" : "wl", &buffer, testTiffRead, testTiffWrite,
                               testTiffSeek, testTiffClose, testTiffSize, testTiffMap, testTiffUnmap);
    if (!tif) {
        throw std::runtime_error("libtiff could not write the test image");
    }
    body(tif);
    TIFFClose(tif);
    return buffer.data;
}

} // namespace

std::string tiff(const Pixels& pixels, const TiffOptions& options) {
    return writeTiff(
        [&](TIFF* tif) {
            std::vector<std::uint8_t> samples = nativeSamples(pixels);
            writeDirectory(tif, pixels.width, pixels.height, pixels.channels, pixels.bits, false,
                           samples.data(), options);
            for (const Pixels& page : options.morePages) {
                std::vector<std::uint8_t> more = nativeSamples(page);
                TiffOptions plain;
                writeDirectory(tif, page.width, page.height, page.channels, page.bits, false, more.data(),
                               plain);
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

// --- profiles ---

namespace {

std::string saveProfile(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::string bytes(size, '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

} // namespace

std::string adobeRGBLikeProfile() {
    cmsCIExyY white{0.3127, 0.3290, 1.0};
    cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(gamma);
    return saveProfile(profile);
}

std::string grayGamma18Profile() {
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 1.8);
    cmsHPROFILE profile = cmsCreateGrayProfile(cmsD50_xyY(), gamma);
    cmsFreeToneCurve(gamma);
    return saveProfile(profile);
}

namespace {

int lutForward(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) {
    // RGB → Lab through sRGB, with a little cross-talk between the channels so no tone curve describes it.
    auto transform = static_cast<cmsHTRANSFORM>(cargo);
    cmsUInt16Number mixed[3] = {
        static_cast<cmsUInt16Number>((in[0] * 9u + in[1]) / 10u),
        static_cast<cmsUInt16Number>((in[1] * 9u + in[2]) / 10u),
        static_cast<cmsUInt16Number>((in[2] * 9u + in[0]) / 10u),
    };
    cmsDoTransform(transform, mixed, out, 1);
    return 1;
}

} // namespace

std::string lutRGBProfile() {
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM toLab =
        cmsCreateTransform(srgb, TYPE_RGB_16, lab, TYPE_Lab_16, INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsHTRANSFORM fromLab =
        cmsCreateTransform(lab, TYPE_Lab_16, srgb, TYPE_RGB_16, INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 4.3);
    cmsSetDeviceClass(profile, cmsSigDisplayClass);
    cmsSetColorSpace(profile, cmsSigRgbData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsPipeline* aToB = cmsPipelineAlloc(nullptr, 3, 3);
    cmsStage* forward = cmsStageAllocCLut16bit(nullptr, 17, 3, 3, nullptr);
    cmsStageSampleCLut16bit(forward, lutForward, toLab, 0);
    cmsPipelineInsertStage(aToB, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsPipelineInsertStage(aToB, cmsAT_END, forward);
    cmsPipelineInsertStage(aToB, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsPipeline* bToA = cmsPipelineAlloc(nullptr, 3, 3);
    cmsStage* backward = cmsStageAllocCLut16bit(nullptr, 17, 3, 3, nullptr);
    cmsStageSampleCLut16bit(
        backward,
        [](const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) -> int {
            cmsDoTransform(static_cast<cmsHTRANSFORM>(cargo), in, out, 1);
            return 1;
        },
        fromLab, 0);
    cmsPipelineInsertStage(bToA, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsPipelineInsertStage(bToA, cmsAT_END, backward);
    cmsPipelineInsertStage(bToA, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsWriteTag(profile, cmsSigAToB0Tag, aToB);
    cmsWriteTag(profile, cmsSigBToA0Tag, bToA);
    cmsPipelineFree(aToB);
    cmsPipelineFree(bToA);
    cmsDeleteTransform(toLab);
    cmsDeleteTransform(fromLab);
    cmsCloseProfile(srgb);
    cmsCloseProfile(lab);
    return saveProfile(profile);
}

} // namespace TestImages
