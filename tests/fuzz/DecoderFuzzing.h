// Shared by the decoder fuzz targets: every input is read from memory and from a file (the two input paths
// of each decoder), probed, decoded in full and reduced, and whatever decodes is checked for a consistent
// layout and turned upright. Anything but SheetRenderError, or an inconsistent image, is a finding.
#pragma once

#include "PrintKit/render/decode/ByteSource.h"
#include "PrintKit/render/decode/DecodedImage.h"
#include "PrintKit/render/decode/ImageReducer.h"
#include "PrintKit/render/decode/SheetRenderError.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace DecoderFuzzing {

// Small enough that no input can make a decoder take more than a few tens of megabytes.
inline constexpr PrintKit::DecodeLimits limits{1 << 20, 1 << 13, 32u << 20, 64};

inline void check(const PrintKit::DecodedImage& image) {
    using namespace PrintKit;
    bool ok = image.width >= 1 && image.height >= 1 && image.orientation >= 1 && image.orientation <= 8 &&
              image.channels >= colorChannels(image.model) + (image.hasAlpha() ? 1 : 0) &&
              image.bytesPerRow == static_cast<std::size_t>(image.width) * image.bytesPerPixel() &&
              image.pixels.size() == image.bytesPerRow * static_cast<std::size_t>(image.height) &&
              static_cast<std::int64_t>(image.width) * image.height <= limits.maxPixels;
    if (!ok) {
        std::abort();
    }
    ImageReducer::upright(ImageReducer::reduced(image, 32));
}

template <typename Probe, typename Decode, typename DecodeReduced>
void run(const std::uint8_t* data, std::size_t size, Probe probe, Decode decode,
         DecodeReduced decodeReduced) {
    using namespace PrintKit;
    auto exercise = [&](const ByteSource& source) {
        try {
            ImageInfo info = probe(source);
            if (info.width < 1 || info.height < 1 || info.orientation < 1 || info.orientation > 8) {
                std::abort();
            }
        } catch (const SheetRenderError&) {
        }
        try {
            check(decode(source));
        } catch (const SheetRenderError&) {
        }
        try {
            check(decodeReduced(source));
        } catch (const SheetRenderError&) {
        }
    };
    ByteSource memory(std::span(data, size), "fuzz");
    exercise(memory);

    int fd = memfd_create("fuzz", MFD_CLOEXEC);
    if (fd < 0) {
        return;
    }
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) {
            ::close(fd);
            return;
        }
        done += static_cast<std::size_t>(n);
    }
    {
        ByteSource file("/proc/self/fd/" + std::to_string(fd));
        exercise(file);
    }
    ::close(fd);
}

} // namespace DecoderFuzzing

// One decoder's fuzz target: probe, full decode and a reduced decode (any further arguments go to the reduced decode).
#define DECODER_FUZZER(Decoder, ...)                                                                         \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {                      \
        using PrintKit::ByteSource;                                                                          \
        DecoderFuzzing::run(                                                                                 \
            data, size, [](const ByteSource& s) { return Decoder::probe(s, DecoderFuzzing::limits); },       \
            [](const ByteSource& s) { return Decoder::decode(s, DecoderFuzzing::limits); },                  \
            [](const ByteSource& s) {                                                                        \
                return Decoder::decode(s, DecoderFuzzing::limits __VA_OPT__(, ) __VA_ARGS__);                \
            });                                                                                              \
        return 0;                                                                                            \
    }
