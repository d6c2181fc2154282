#include "PrintKit/render/decode/HeifDecoder.h"

#include "PrintKit/render/decode/ColorProfiles.h"
#include "PrintKit/render/color/ColorSpace.h"
#include "PrintKit/render/decode/DecoderSupport.h"

#include <algorithm>
#include <cstring>
#include <libheif/heif.h>
#include <memory>

namespace PrintKit::HeifDecoder {

namespace {

// --- the file behind libheif's reader (called from C++ inside libheif, but kept exception-free) ---

struct Client {
    const ByteSource* source;
    std::uint64_t position;
};

extern "C" int64_t readerPosition(void* user) {
    return static_cast<int64_t>(static_cast<Client*>(user)->position);
}

extern "C" int readerRead(void* data, size_t size, void* user) {
    auto* client = static_cast<Client*>(user);
    if (!client->source->readExactly(client->position, data, size)) {
        return 1;
    }
    client->position += size;
    return 0;
}

extern "C" int readerSeek(int64_t position, void* user) {
    auto* client = static_cast<Client*>(user);
    if (position < 0 || static_cast<std::uint64_t>(position) > client->source->size()) {
        return 1;
    }
    client->position = static_cast<std::uint64_t>(position);
    return 0;
}

extern "C" heif_reader_grow_status readerWait(int64_t size, void* user) {
    auto* client = static_cast<Client*>(user);
    return size >= 0 && static_cast<std::uint64_t>(size) <= client->source->size()
               ? heif_reader_grow_status_size_reached
               : heif_reader_grow_status_size_beyond_eof;
}

const heif_reader fileReader = {1, readerPosition, readerRead, readerSeek, readerWait};

struct ContextFree {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleRelease {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageRelease {
    void operator()(heif_image* image) const { heif_image_release(image); }
};
struct NclxFree {
    void operator()(heif_color_profile_nclx* nclx) const { heif_nclx_color_profile_free(nclx); }
};

class HeifFile {
public:
    HeifFile(const ByteSource& source, const DecodeLimits& limits) : client_{&source, 0} {
        context_.reset(heif_context_alloc());
        if (!context_) {
            source.fail();
        }
        heif_context_set_maximum_image_size_limit(context_.get(), limits.maxDimension);
        heif_error error =
            source.memory() ? heif_context_read_from_memory_without_copy(context_.get(), source.memory(),
                                                                         source.size(), nullptr)
                            : heif_context_read_from_reader(context_.get(), &fileReader, &client_, nullptr);
        heif_image_handle* handle = nullptr;
        if (error.code == heif_error_Ok) {
            error = heif_context_get_primary_image_handle(context_.get(), &handle);
        }
        primary_.reset(handle);
        if (error.code != heif_error_Ok || !primary_ ||
            !DecoderSupport::sizeAllowed(heif_image_handle_get_width(handle),
                                         heif_image_handle_get_height(handle), limits)) {
            source.fail();
        }
    }
    heif_image_handle* primary() const { return primary_.get(); }

private:
    Client client_;
    std::unique_ptr<heif_context, ContextFree> context_;
    std::unique_ptr<heif_image_handle, HandleRelease> primary_;
};

ColorProfiles::Transfer transferOf(heif_transfer_characteristics transfer) {
    switch (transfer) {
    case heif_transfer_characteristic_ITU_R_BT_709_5:
    case heif_transfer_characteristic_ITU_R_BT_601_6:
    case heif_transfer_characteristic_ITU_R_BT_2020_2_10bit:
    case heif_transfer_characteristic_ITU_R_BT_2020_2_12bit:
        return ColorProfiles::Transfer::bt709;
    case heif_transfer_characteristic_ITU_R_BT_470_6_System_M:
        return ColorProfiles::Transfer::gamma22;
    case heif_transfer_characteristic_ITU_R_BT_470_6_System_B_G:
        return ColorProfiles::Transfer::gamma28;
    case heif_transfer_characteristic_linear:
        return ColorProfiles::Transfer::linear;
    default: // sRGB, unspecified, and the HDR curves, which a print can only show as display-referred
        return ColorProfiles::Transfer::sRGB;
    }
}

std::string profileFromNclx(const heif_color_profile_nclx& nclx) {
    ColorProfiles::Transfer transfer = transferOf(nclx.transfer_characteristics);
    bool srgbPrimaries = nclx.color_primaries == heif_color_primaries_ITU_R_BT_709_5 ||
                         nclx.color_primaries == heif_color_primaries_unspecified;
    if (transfer == ColorProfiles::Transfer::sRGB) {
        if (srgbPrimaries) {
            return ColorSpace::sRGB().icc; // the very bytes of the named space, so the raw route can apply
        }
        if (nclx.color_primaries == heif_color_primaries_SMPTE_EG_432_1) {
            return ColorProfiles::displayP3();
        }
    }
    if (srgbPrimaries) {
        return ColorProfiles::rgb({0.64, 0.33}, {0.30, 0.60}, {0.15, 0.06}, {0.3127, 0.3290}, transfer);
    }
    return ColorProfiles::rgb({nclx.color_primary_red_x, nclx.color_primary_red_y},
                              {nclx.color_primary_green_x, nclx.color_primary_green_y},
                              {nclx.color_primary_blue_x, nclx.color_primary_blue_y},
                              {nclx.color_primary_white_x, nclx.color_primary_white_y}, transfer);
}

std::string profileOf(heif_image_handle* handle) {
    switch (heif_image_handle_get_color_profile_type(handle)) {
    case heif_color_profile_type_prof:
    case heif_color_profile_type_rICC: {
        std::size_t size = heif_image_handle_get_raw_color_profile_size(handle);
        std::string bytes(size, '\0');
        if (size == 0 ||
            heif_image_handle_get_raw_color_profile(handle, bytes.data()).code != heif_error_Ok) {
            return {};
        }
        return bytes;
    }
    case heif_color_profile_type_nclx: {
        heif_color_profile_nclx* raw = nullptr;
        heif_error error = heif_image_handle_get_nclx_color_profile(handle, &raw);
        // libheif may hand over the description it allocated even when it reports an error (a value it does
        // not know), so it is owned before the error is looked at.
        std::unique_ptr<heif_color_profile_nclx, NclxFree> nclx(raw);
        if (error.code != heif_error_Ok || !nclx) {
            return {};
        }
        try {
            return profileFromNclx(*nclx);
        } catch (const std::exception&) {
            return {}; // an unbuildable description leaves the photo untagged
        }
    }
    default:
        return {};
    }
}

} // namespace

ImageInfo probe(const ByteSource& source, const DecodeLimits& limits) {
    HeifFile file(source, limits);
    return ImageInfo{ImageFormat::heif, heif_image_handle_get_width(file.primary()),
                     heif_image_handle_get_height(file.primary()), 1};
}

DecodedImage decode(const ByteSource& source, const DecodeLimits& limits) {
    HeifFile file(source, limits);
    heif_image_handle* handle = file.primary();
    bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
    int depth = heif_image_handle_get_luma_bits_per_pixel(handle);
    if (depth < 1 || depth > 16) {
        source.fail();
    }
    bool deep = depth > 8;
    heif_chroma chroma =
        deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
             : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    std::unique_ptr<heif_decoding_options, void (*)(heif_decoding_options*)> options(
        heif_decoding_options_alloc(), heif_decoding_options_free);
    if (!options) {
        source.fail();
    }
    options->ignore_transformations = 0; // libheif turns the image; it then reports orientation 1
    heif_image* raw = nullptr;
    heif_error error = heif_decode_image(handle, &raw, heif_colorspace_RGB, chroma, options.get());
    std::unique_ptr<heif_image, ImageRelease> decoded(raw);
    if (error.code != heif_error_Ok || !decoded) {
        source.fail();
    }
    int width = heif_image_get_width(decoded.get(), heif_channel_interleaved);
    int height = heif_image_get_height(decoded.get(), heif_channel_interleaved);
    int stride = 0;
    const std::uint8_t* plane =
        heif_image_get_plane_readonly(decoded.get(), heif_channel_interleaved, &stride);
    int channels = alpha ? 4 : 3;
    DecodedImage image = DecoderSupport::allocate(source, ImageFormat::heif, width, height, ColorModel::rgb,
                                                  channels, deep ? SampleType::uint16 : SampleType::uint8,
                                                  !alpha ? AlphaMode::none
                                                         : (heif_image_handle_is_premultiplied_alpha(handle)
                                                                ? AlphaMode::premultiplied
                                                                : AlphaMode::straight),
                                                  limits);
    if (!plane || stride < 0 || static_cast<std::size_t>(stride) < image.bytesPerRow) {
        source.fail();
    }
    for (int y = 0; y < height; ++y) {
        std::memcpy(image.row(y), plane + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride),
                    image.bytesPerRow);
    }
    if (deep) {
        // Samples of n bits (10 or 12 usually) become 16-bit samples over the same range: v × 65535 / (2ⁿ −
        // 1), rounded, so that white stays white and every step stays distinct.
        int bits = heif_image_get_bits_per_pixel_range(decoded.get(), heif_channel_interleaved);
        if (bits < 9 || bits > 16) {
            source.fail();
        }
        if (bits < 16) {
            const std::uint32_t maxValue = (1u << bits) - 1;
            std::uint8_t* p = image.pixels.data();
            for (std::size_t i = 0, n = image.pixels.size(); i + 1 < n; i += 2) {
                std::uint32_t v = static_cast<std::uint32_t>(p[i]) | static_cast<std::uint32_t>(p[i + 1])
                                                                         << 8;
                v = std::min(v, maxValue);
                std::uint32_t scaled = (v * 65535u + maxValue / 2) / maxValue;
                p[i] = static_cast<std::uint8_t>(scaled & 0xFF);
                p[i + 1] = static_cast<std::uint8_t>(scaled >> 8);
            }
        }
        image.littleEndian = true;
    }
    image.icc = profileOf(handle);
    image.orientation = 1;
    return image;
}

} // namespace PrintKit::HeifDecoder
