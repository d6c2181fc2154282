#include "PrintKit/render/decode/TiffDecoder.h"

#include "PrintKit/render/decode/DecoderSupport.h"
#include "PrintKit/render/decode/ExifOrientation.h"
#include "PrintKit/support/Rounding.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <lcms2.h>
#include <limits>
#include <tiffio.h>
#include <vector>

namespace PrintKit::TiffDecoder {

namespace {

// --- the file behind libtiff's client procedures (called from C: nothing here may throw) ---

struct Client {
    const ByteSource* source;
    std::uint64_t position;
};

extern "C" tmsize_t clientRead(thandle_t handle, void* buffer, tmsize_t size) {
    auto* client = static_cast<Client*>(handle);
    if (size < 0) {
        return -1;
    }
    std::int64_t got = client->source->read(client->position, buffer, static_cast<std::size_t>(size));
    if (got > 0) {
        client->position += static_cast<std::uint64_t>(got);
    }
    return static_cast<tmsize_t>(got);
}

extern "C" tmsize_t clientWrite(thandle_t, void*, tmsize_t) {
    return -1;
}

extern "C" toff_t clientSeek(thandle_t handle, toff_t offset, int whence) {
    auto* client = static_cast<Client*>(handle);
    std::uint64_t base = whence == SEEK_CUR   ? client->position
                         : whence == SEEK_END ? client->source->size()
                                              : 0;
    std::uint64_t target = 0;
    if (__builtin_add_overflow(base, static_cast<std::uint64_t>(offset), &target) ||
        target > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        return static_cast<toff_t>(-1);
    }
    client->position = target;
    return target;
}

extern "C" int clientClose(thandle_t) {
    return 0;
}

extern "C" toff_t clientSize(thandle_t handle) {
    return static_cast<Client*>(handle)->source->size();
}

// Bytes already in memory are handed to libtiff as a mapping, so it reads strips in place.
extern "C" int clientMap(thandle_t handle, void** base, toff_t* size) {
    auto* client = static_cast<Client*>(handle);
    if (!client->source->memory()) {
        return 0;
    }
    *base = const_cast<std::uint8_t*>(client->source->memory());
    *size = client->source->size();
    return 1;
}

extern "C" void clientUnmap(thandle_t, void*, toff_t) {}

// Messages stay with the file's decode: nothing is printed, and the process-wide handlers are not touched.
extern "C" int quietHandler(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

class TiffFile {
public:
    TiffFile(const ByteSource& source, const DecodeLimits& limits) : client_{&source, 0} {
        TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
        if (!options) {
            source.fail();
        }
        std::size_t cap = std::min<std::size_t>(
            limits.maxAllocation, static_cast<std::size_t>(std::numeric_limits<tmsize_t>::max()));
        TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(cap));
        TIFFOpenOptionsSetErrorHandlerExtR(options, quietHandler, nullptr);
        TIFFOpenOptionsSetWarningHandlerExtR(options, quietHandler, nullptr);
        tiff_ = TIFFClientOpenExt(source.name().c_str(), "r", &client_, clientRead, clientWrite, clientSeek,
                                  clientClose, clientSize, clientMap, clientUnmap, options);
        TIFFOpenOptionsFree(options);
        if (!tiff_) {
            source.fail();
        }
    }
    ~TiffFile() {
        if (tiff_) {
            TIFFClose(tiff_);
        }
    }
    TiffFile(const TiffFile&) = delete;
    TiffFile& operator=(const TiffFile&) = delete;
    TIFF* get() const { return tiff_; }

private:
    Client client_;
    TIFF* tiff_ = nullptr;
};

struct Header {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int orientation = 1;
};

Header readHeader(TIFF* tif, const ByteSource& source, const DecodeLimits& limits) {
    Header header;
    std::uint16_t orientation = 1;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &header.width) ||
        !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &header.height) ||
        !DecoderSupport::sizeAllowed(header.width, header.height, limits)) {
        source.fail();
    }
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
    header.orientation = ExifOrientation::normalized(orientation);
    return header;
}

// --- how the file's samples become the decoded image's ---

enum class Encoding { uint8, uint16, half, float32 };
enum class LabEncoding { none, cielab, icclab };

// CIELab stored against another white than D50 (the WhitePoint tag): each value goes back to XYZ on that
// white, is adapted to D50 (Bradford) and becomes Lab again, as a decoded image's Lab always is D50's.
struct LabWhite {
    cmsCIEXYZ white;
    double adaptation[9]; // row by row
};

struct Layout {
    int samplesPerPixel = 1; // in the file
    Encoding encoding = Encoding::uint8;
    ColorModel model = ColorModel::rgb;
    bool alpha = false; // the first extra sample is alpha
    bool premultiplied = false;
    bool invert = false; // white is zero (grey)
    LabEncoding lab = LabEncoding::none;
    std::optional<LabWhite> labWhite;
    int outChannels = 0;
    SampleType outSample = SampleType::uint8;

    int inBytes() const { return encoding == Encoding::uint8 ? 1 : encoding == Encoding::float32 ? 4 : 2; }
    bool passThrough() const {
        return samplesPerPixel == outChannels && !invert && lab == LabEncoding::none &&
               encoding != Encoding::half && inBytes() == bytesPerSample(outSample);
    }
};

float halfToFloat(std::uint16_t half) {
    int sign = half >> 15, exponent = (half >> 10) & 0x1F, mantissa = half & 0x3FF;
    float magnitude;
    if (exponent == 0) {
        magnitude = std::ldexp(static_cast<float>(mantissa), -24);
    } else if (exponent == 31) {
        magnitude =
            mantissa ? std::numeric_limits<float>::quiet_NaN() : std::numeric_limits<float>::infinity();
    } else {
        magnitude = std::ldexp(static_cast<float>(mantissa | 0x400), exponent - 25);
    }
    return sign ? -magnitude : magnitude;
}

float loadSample(const std::uint8_t* at, Encoding encoding) {
    switch (encoding) {
    case Encoding::uint8:
        return *at;
    case Encoding::uint16: {
        std::uint16_t v;
        std::memcpy(&v, at, 2);
        return v;
    }
    case Encoding::half: {
        std::uint16_t v;
        std::memcpy(&v, at, 2);
        return halfToFloat(v);
    }
    case Encoding::float32: {
        float v;
        std::memcpy(&v, at, 4);
        return v;
    }
    }
    return 0;
}

// One sample on the 0…1 scale of its encoding (float samples are already on it).
float unitSample(const std::uint8_t* at, Encoding encoding) {
    float v = loadSample(at, encoding);
    return encoding == Encoding::uint8 ? v / 255.0f : encoding == Encoding::uint16 ? v / 65535.0f : v;
}

void convertLabPixel(const std::uint8_t* in, const Layout& layout, float* out) {
    int bytes = layout.inBytes();
    float l = loadSample(in, layout.encoding);
    float a = loadSample(in + bytes, layout.encoding);
    float b = loadSample(in + 2 * bytes, layout.encoding);
    switch (layout.encoding) {
    case Encoding::uint8:
        l = l * 100.0f / 255.0f;
        if (layout.lab == LabEncoding::cielab) { // stored as signed bytes
            a = static_cast<float>(static_cast<std::int8_t>(static_cast<std::uint8_t>(a)));
            b = static_cast<float>(static_cast<std::int8_t>(static_cast<std::uint8_t>(b)));
        } else {
            a -= 128.0f;
            b -= 128.0f;
        }
        break;
    case Encoding::uint16:
        l = l * 100.0f / 65535.0f;
        if (layout.lab == LabEncoding::cielab) { // signed, in 1/256 units
            a = static_cast<float>(static_cast<std::int16_t>(static_cast<std::uint16_t>(a))) / 256.0f;
            b = static_cast<float>(static_cast<std::int16_t>(static_cast<std::uint16_t>(b))) / 256.0f;
        } else {
            a = a / 256.0f - 128.0f;
            b = b / 256.0f - 128.0f;
        }
        break;
    case Encoding::half:
    case Encoding::float32:
        break; // natural units already
    }
    if (layout.labWhite) {
        const cmsCIELab stored{l, a, b};
        cmsCIEXYZ xyz;
        cmsLab2XYZ(&layout.labWhite->white, &xyz, &stored);
        const double* m = layout.labWhite->adaptation;
        const cmsCIEXYZ adapted{m[0] * xyz.X + m[1] * xyz.Y + m[2] * xyz.Z,
                                m[3] * xyz.X + m[4] * xyz.Y + m[5] * xyz.Z,
                                m[6] * xyz.X + m[7] * xyz.Y + m[8] * xyz.Z};
        cmsCIELab lab;
        cmsXYZ2Lab(cmsD50_XYZ(), &lab, &adapted);
        l = static_cast<float>(lab.L);
        a = static_cast<float>(lab.a);
        b = static_cast<float>(lab.b);
    }
    out[0] = l;
    out[1] = a;
    out[2] = b;
    if (layout.alpha) {
        out[3] = unitSample(in + 3 * bytes, layout.encoding);
    }
}

void convertRow(const std::uint8_t* in, std::uint8_t* out, std::uint32_t width, const Layout& layout) {
    int inBytes = layout.inBytes();
    std::size_t inPixel =
        static_cast<std::size_t>(layout.samplesPerPixel) * static_cast<std::size_t>(inBytes);
    if (layout.passThrough()) {
        std::memcpy(out, in, inPixel * width);
        return;
    }
    int colour = colorChannels(layout.model);
    std::size_t outBytes = static_cast<std::size_t>(bytesPerSample(layout.outSample));
    std::size_t outPixel = static_cast<std::size_t>(layout.outChannels) * outBytes;
    for (std::uint32_t x = 0; x < width; ++x, in += inPixel, out += outPixel) {
        if (layout.lab != LabEncoding::none) {
            float lab[4];
            convertLabPixel(in, layout, lab);
            std::memcpy(out, lab, outPixel);
            continue;
        }
        for (int c = 0; c < layout.outChannels; ++c) {
            const std::uint8_t* sample = in + static_cast<std::size_t>(c) * static_cast<std::size_t>(inBytes);
            std::uint8_t* target = out + static_cast<std::size_t>(c) * outBytes;
            bool invert = layout.invert && c < colour;
            switch (layout.outSample) {
            case SampleType::uint8:
                *target = invert ? static_cast<std::uint8_t>(255 - *sample) : *sample;
                break;
            case SampleType::uint16: {
                std::uint16_t v;
                if (layout.encoding == Encoding::uint16) {
                    std::memcpy(&v, sample, 2);
                    if (invert) {
                        v = static_cast<std::uint16_t>(65535 - v);
                    }
                } else { // floating-point samples, rounded as asked
                    float f = loadSample(sample, layout.encoding);
                    if (invert) {
                        f = 1.0f - f;
                    }
                    const float unit = f > 0.0f ? (f < 1.0f ? f : 1.0f) : 0.0f; // NaN is 0
                    v = Rounding::sample16(unit * 65535.0f);
                }
                std::memcpy(target, &v, 2);
                break;
            }
            case SampleType::float32: {
                float v = loadSample(sample, layout.encoding);
                if (invert) {
                    v = 1.0f - v;
                }
                std::memcpy(target, &v, 4);
                break;
            }
            }
        }
    }
}

// --- reading the pixels ---

struct Fields {
    std::uint16_t bitsPerSample = 1;
    std::uint16_t samplesPerPixel = 1;
    std::uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    std::uint16_t compression = COMPRESSION_NONE;
    std::uint16_t inkSet = INKSET_CMYK;
    std::uint16_t extraCount = 0;
    const std::uint16_t* extraTypes = nullptr;
};

Fields readFields(TIFF* tif) {
    Fields f;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &f.bitsPerSample);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &f.samplesPerPixel);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &f.sampleFormat);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &f.photometric)) {
        f.photometric = f.samplesPerPixel >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    }
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &f.planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &f.compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &f.inkSet);
    std::uint16_t* types = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &f.extraCount, &types)) {
        f.extraTypes = types;
    } else {
        f.extraCount = 0;
    }
    return f;
}

// The white of a CIELab file when the file names one other than D50 (libtiff's default, and the white the
// decoded Lab is on) and the adaptation from it to D50.
std::optional<LabWhite> labWhite(TIFF* tif) {
    float* xy = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_WHITEPOINT, &xy) || !xy ||
        !(xy[0] > 0 && xy[1] > 0 && xy[0] + xy[1] < 1)) {
        return std::nullopt;
    }
    const cmsCIExyY chromaticity{xy[0], xy[1], 1.0};
    LabWhite white;
    cmsxyY2XYZ(&white.white, &chromaticity);
    const cmsCIEXYZ* d50 = cmsD50_XYZ();
    if (std::fabs(white.white.X - d50->X) < 1e-3 && std::fabs(white.white.Z - d50->Z) < 1e-3) {
        return std::nullopt;
    }
    // The adaptation is linear: its columns are the adapted unit vectors.
    for (int column = 0; column < 3; ++column) {
        const cmsCIEXYZ unit{column == 0 ? 1.0 : 0.0, column == 1 ? 1.0 : 0.0, column == 2 ? 1.0 : 0.0};
        cmsCIEXYZ adapted;
        if (!cmsAdaptToIlluminant(&adapted, &white.white, d50, &unit)) {
            return std::nullopt;
        }
        white.adaptation[column] = adapted.X;
        white.adaptation[3 + column] = adapted.Y;
        white.adaptation[6 + column] = adapted.Z;
    }
    return white;
}

// The layout the direct reader handles, or nothing when libtiff's RGBA reader must do the work.
std::optional<Layout> directLayout(TIFF* tif, Fields& f, FloatSamples floats) {
    Layout layout;
    layout.samplesPerPixel = f.samplesPerPixel;
    if (f.sampleFormat == SAMPLEFORMAT_IEEEFP) {
        if (f.bitsPerSample == 32) {
            layout.encoding = Encoding::float32;
        } else if (f.bitsPerSample == 16) {
            layout.encoding = Encoding::half;
        } else {
            return std::nullopt;
        }
    } else if (f.sampleFormat == SAMPLEFORMAT_UINT || f.sampleFormat == SAMPLEFORMAT_VOID) {
        if (f.bitsPerSample == 8) {
            layout.encoding = Encoding::uint8;
        } else if (f.bitsPerSample == 16) {
            layout.encoding = Encoding::uint16;
        } else {
            return std::nullopt;
        }
    } else {
        return std::nullopt;
    }
    switch (f.photometric) {
    case PHOTOMETRIC_MINISWHITE:
        layout.invert = true;
        [[fallthrough]];
    case PHOTOMETRIC_MINISBLACK:
        layout.model = ColorModel::gray;
        break;
    case PHOTOMETRIC_RGB:
        layout.model = ColorModel::rgb;
        break;
    case PHOTOMETRIC_YCBCR:
        // Only JPEG-compressed YCbCr, which libtiff's JPEG codec hands over as RGB.
        if (f.compression != COMPRESSION_JPEG || f.planar != PLANARCONFIG_CONTIG ||
            !TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB)) {
            return std::nullopt;
        }
        layout.model = ColorModel::rgb;
        break;
    case PHOTOMETRIC_SEPARATED:
        if (f.inkSet != INKSET_CMYK) {
            return std::nullopt;
        }
        layout.model = ColorModel::cmyk;
        break;
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
        layout.model = ColorModel::lab;
        layout.lab = f.photometric == PHOTOMETRIC_CIELAB ? LabEncoding::cielab : LabEncoding::icclab;
        if (layout.lab == LabEncoding::cielab) {
            layout.labWhite = labWhite(tif);
        }
        break;
    default:
        return std::nullopt;
    }
    int colour = colorChannels(layout.model);
    if (f.samplesPerPixel < colour) {
        return std::nullopt;
    }
    // Extra samples beyond the colour ones: the first is alpha when the file says so; the rest are dropped.
    if (f.samplesPerPixel > colour && f.extraTypes && f.extraCount > 0) {
        if (f.extraTypes[0] == EXTRASAMPLE_ASSOCALPHA || f.extraTypes[0] == EXTRASAMPLE_UNASSALPHA) {
            layout.alpha = true;
            layout.premultiplied = f.extraTypes[0] == EXTRASAMPLE_ASSOCALPHA;
        }
    }
    layout.outChannels = colour + (layout.alpha ? 1 : 0);
    bool floating = layout.encoding == Encoding::half || layout.encoding == Encoding::float32 ||
                    layout.model == ColorModel::lab;
    const bool rounded = floating && floats == FloatSamples::rounded && layout.model != ColorModel::lab;
    layout.outSample = rounded                               ? SampleType::uint16
                       : floating                            ? SampleType::float32
                       : layout.encoding == Encoding::uint16 ? SampleType::uint16
                                                             : SampleType::uint8;
    return layout;
}

// A strip or tile at offset 0 (the file's header) or of no bytes is missing. libtiff pads a directory that
// lists too few strips with such entries, and would hand back the header's bytes as pixels.
bool present(TIFF* tif, std::uint32_t index) {
    int failed = 0;
    std::uint64_t offset = TIFFGetStrileOffsetWithErr(tif, index, &failed);
    std::uint64_t count = failed ? 0 : TIFFGetStrileByteCountWithErr(tif, index, &failed);
    return !failed && offset != 0 && count != 0;
}

// Reads the image band by band (a band is a strip, or a row of tiles), gathering every plane's samples
// into chunky file-layout rows and converting them into the decoded image.
void readDirect(TIFF* tif, const ByteSource& source, const DecodeLimits& limits, const Layout& layout,
                bool planar, DecodedImage& image) {
    const std::uint32_t width = static_cast<std::uint32_t>(image.width);
    const std::uint32_t height = static_cast<std::uint32_t>(image.height);
    const std::size_t sampleBytes = static_cast<std::size_t>(layout.inBytes());
    const std::size_t spp = static_cast<std::size_t>(layout.samplesPerPixel);
    const bool tiled = TIFFIsTiled(tif) != 0;
    const int planes = planar ? layout.samplesPerPixel : 1;
    const std::size_t strilePixelBytes = planar ? sampleBytes : sampleBytes * spp; // in one strip or tile

    std::uint32_t strileWidth = width, strileHeight = 0;
    if (tiled) {
        if (!TIFFGetField(tif, TIFFTAG_TILEWIDTH, &strileWidth) ||
            !TIFFGetField(tif, TIFFTAG_TILELENGTH, &strileHeight) || strileWidth == 0 || strileHeight == 0) {
            source.fail();
        }
    } else {
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &strileHeight);
        if (strileHeight == 0) {
            source.fail();
        }
    }
    const std::uint32_t bandHeight = std::min(strileHeight, height);

    // What one strip or tile decodes to, checked against libtiff's own idea of its size (a tile always has
    // its full length; the strips are counted without rows past the image's end).
    auto strileBytes = DecoderSupport::multiply(strilePixelBytes, strileWidth);
    strileBytes =
        strileBytes ? DecoderSupport::multiply(*strileBytes, tiled ? strileHeight : bandHeight) : strileBytes;
    std::uint64_t libtiffStrile = tiled ? TIFFTileSize64(tif) : TIFFStripSize64(tif);
    auto bandBytes = DecoderSupport::multiply(spp * sampleBytes * width, bandHeight);
    if (!strileBytes || *strileBytes > limits.maxAllocation || libtiffStrile != *strileBytes || !bandBytes ||
        *bandBytes > limits.maxAllocation) {
        source.fail();
    }
    const std::size_t fileRowBytes = spp * sampleBytes * width;
    // The common case — chunky strips whose rows are already the decoded image's — decodes in place.
    const bool inPlace = !tiled && !planar && layout.passThrough();
    std::vector<std::uint8_t> strile, band;
    try {
        strile.resize(inPlace ? 0 : *strileBytes);
        band.resize(inPlace ? 0 : fileRowBytes * bandHeight);
    } catch (const std::bad_alloc&) {
        source.fail();
    }

    for (std::uint32_t top = 0; top < height; top += bandHeight) {
        const std::uint32_t rows = std::min(bandHeight, height - top);
        if (inPlace) {
            tmsize_t want = static_cast<tmsize_t>(fileRowBytes * rows);
            const std::uint32_t index = TIFFComputeStrip(tif, top, 0);
            if (!present(tif, index) ||
                TIFFReadEncodedStrip(tif, index, image.row(static_cast<int>(top)), want) != want) {
                source.fail();
            }
            continue;
        }
        for (int plane = 0; plane < planes; ++plane) {
            for (std::uint32_t left = 0; left < width; left += strileWidth) {
                const std::uint32_t index =
                    tiled ? TIFFComputeTile(tif, left, top, 0, static_cast<std::uint16_t>(plane))
                          : TIFFComputeStrip(tif, top, static_cast<std::uint16_t>(plane));
                if (!present(tif, index)) {
                    source.fail();
                }
                tmsize_t got = tiled ? TIFFReadEncodedTile(tif, index, strile.data(),
                                                           static_cast<tmsize_t>(strile.size()))
                                     : TIFFReadEncodedStrip(tif, index, strile.data(),
                                                            static_cast<tmsize_t>(strile.size()));
                const std::uint32_t columns = std::min(strileWidth, width - left);
                const std::size_t strileRowBytes = strilePixelBytes * strileWidth;
                // A strip or tile shorter than its rows (the last strip) must still hold the rows used.
                if (got < 0 || static_cast<std::uint64_t>(got) <
                                   strileRowBytes * (rows - 1) + strilePixelBytes * columns) {
                    source.fail();
                }
                for (std::uint32_t r = 0; r < rows; ++r) {
                    const std::uint8_t* from = strile.data() + strileRowBytes * r;
                    std::uint8_t* to = band.data() + fileRowBytes * r + spp * sampleBytes * left;
                    if (!planar) {
                        std::memcpy(to, from, strilePixelBytes * columns);
                    } else {
                        to += sampleBytes * static_cast<std::size_t>(plane);
                        for (std::uint32_t x = 0; x < columns; ++x) {
                            std::memcpy(to + x * spp * sampleBytes, from + x * sampleBytes, sampleBytes);
                        }
                    }
                }
            }
        }
        for (std::uint32_t r = 0; r < rows; ++r) {
            convertRow(band.data() + fileRowBytes * r, image.row(static_cast<int>(top + r)), width, layout);
        }
    }
}

// Palette, bilevel, subsampled YCbCr and the like, through libtiff's RGBA reader: 8-bit RGBA, premultiplied
// when the file has alpha. The orientation is asked to be the file's own, so that libtiff turns nothing.
DecodedImage readRGBA(TIFF* tif, const ByteSource& source, const DecodeLimits& limits, const Header& header) {
    char message[1024] = {};
    if (!TIFFRGBAImageOK(tif, message)) {
        source.fail();
    }
    TIFFRGBAImage reader{};
    if (!TIFFRGBAImageBegin(&reader, tif, 1, message)) {
        source.fail();
    }
    reader.req_orientation = reader.orientation;
    bool alpha = reader.alpha != 0;
    DecodedImage image = DecoderSupport::allocate(source, ImageFormat::tiff, header.width, header.height,
                                                  ColorModel::rgb, 4, SampleType::uint8,
                                                  alpha ? AlphaMode::premultiplied : AlphaMode::none, limits);
    static_assert(sizeof(std::uint32_t) == 4);
    bool ok = TIFFRGBAImageGet(&reader, reinterpret_cast<std::uint32_t*>(image.pixels.data()), header.width,
                               header.height) != 0;
    TIFFRGBAImageEnd(&reader);
    if (!ok) {
        source.fail();
    }
    // The raster holds R, G, B, A bytes in memory order on a little-endian machine; big-endian machines get
    // the packed word the other way round.
    if constexpr (std::endian::native == std::endian::big) {
        std::uint8_t* p = image.pixels.data();
        for (std::size_t i = 0; i + 3 < image.pixels.size(); i += 4) {
            std::swap(p[i], p[i + 3]);
            std::swap(p[i + 1], p[i + 2]);
        }
    }
    return image; // without alpha the fourth byte is an opaque filler, ignored as such
}

} // namespace

ImageInfo probe(const ByteSource& source, const DecodeLimits& limits) {
    TiffFile file(source, limits);
    Header header = readHeader(file.get(), source, limits);
    return ImageInfo{ImageFormat::tiff, static_cast<int>(header.width), static_cast<int>(header.height),
                     header.orientation};
}

DecodedImage decode(const ByteSource& source, const DecodeLimits& limits, FloatSamples floats) {
    TiffFile file(source, limits);
    TIFF* tif = file.get();
    Header header = readHeader(tif, source, limits);
    Fields fields = readFields(tif);
    DecodedImage image;
    if (auto layout = directLayout(tif, fields, floats)) {
        image = DecoderSupport::allocate(source, ImageFormat::tiff, header.width, header.height,
                                         layout->model, layout->outChannels, layout->outSample,
                                         !layout->alpha          ? AlphaMode::none
                                         : layout->premultiplied ? AlphaMode::premultiplied
                                                                 : AlphaMode::straight,
                                         limits);
        readDirect(tif, source, limits, *layout, fields.planar == PLANARCONFIG_SEPARATE, image);
    } else {
        image = readRGBA(tif, source, limits, header);
    }
    std::uint32_t iccLength = 0;
    void* icc = nullptr;
    if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &iccLength, &icc) && icc && iccLength > 0) {
        image.icc.assign(static_cast<const char*>(icc), iccLength);
    }
    image.orientation = header.orientation;
    return image;
}

} // namespace PrintKit::TiffDecoder
