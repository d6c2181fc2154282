// A photo decoded into memory as its file stores it: the sample layout the codec delivered, the embedded
// ICC profile and the orientation tag, with nothing turned, converted or composited yet. What the decoders
// produce and what the linear source reads.
#pragma once

#include "PrintKit/support/PageBuffer.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace PrintKit {

enum class ImageFormat { jpeg, png, tiff, heif };

// The colour model of the samples. Lab samples are always 32-bit floats in natural units (L* 0…100, a* and
// b* signed), whatever the file stored, so that only one Lab encoding ever leaves the decoders.
enum class ColorModel { gray, rgb, cmyk, lab };

// Integer samples use their full range (0…255, 0…65535); float samples are nominally 0…1 (Lab aside).
enum class SampleType { uint8, uint16, float32 };

// What a decoder makes of floating-point grey, RGB and CMYK samples (Lab stays floating-point): keeps them,
// or rounds them to 16-bit integers, clamped to 0…1, to nearest with ties to even. Printing rounds them so
// before anything else, so a photo decoded for printing takes half the memory and prints the same.
enum class FloatSamples { kept, rounded };

// Alpha, when present, is the sample right after the colour samples.
enum class AlphaMode { none, straight, premultiplied };

constexpr int colorChannels(ColorModel model) {
    switch (model) {
    case ColorModel::gray:
        return 1;
    case ColorModel::cmyk:
        return 4;
    case ColorModel::rgb:
    case ColorModel::lab:
        return 3;
    }
    return 3;
}

constexpr int bytesPerSample(SampleType type) {
    return type == SampleType::uint8 ? 1 : type == SampleType::uint16 ? 2 : 4;
}

// What a file claims about its first image, read from its headers alone.
struct ImageInfo {
    ImageFormat format = ImageFormat::jpeg;
    int width = 0; // as stored, before the orientation is applied
    int height = 0;
    int orientation = 1; // 1…8 in the EXIF/TIFF meaning
    friend bool operator==(const ImageInfo&, const ImageInfo&) = default;
};

// The most a file may make the decoders allocate. A file whose header claims more is refused before any
// pixel memory is taken, so a forged header cannot exhaust the machine.
struct DecodeLimits {
    std::int64_t maxPixels = std::int64_t{1} << 29;   // width × height
    int maxDimension = 1 << 17;                       // either side
    std::size_t maxAllocation = std::size_t{1} << 32; // bytes in any one buffer
    int maxJpegScans = 1000;                          // progressive JPEG scans
    friend bool operator==(const DecodeLimits&, const DecodeLimits&) = default;
};

// Pixel memory that is not cleared on allocation (a decoder overwrites every byte at once), owned and
// move-only; compared by content. A photo's pixels go back to the system as soon as it is dropped.
class PixelBytes {
public:
    PixelBytes() = default;
    explicit PixelBytes(std::size_t size) : memory_(size) {}

    std::uint8_t* data() noexcept { return memory_.as<std::uint8_t>(); }
    const std::uint8_t* data() const noexcept { return memory_.as<std::uint8_t>(); }
    std::size_t size() const noexcept { return memory_.size(); }

    friend bool operator==(const PixelBytes& a, const PixelBytes& b) {
        return a.size() == b.size() && (a.size() == 0 || std::memcmp(a.data(), b.data(), a.size()) == 0);
    }

private:
    PageBuffer memory_;
};

struct DecodedImage {
    ImageFormat format = ImageFormat::jpeg;
    int width = 0; // as stored
    int height = 0;
    ColorModel model = ColorModel::rgb;
    int channels = 0; // samples per pixel: the colour samples, then alpha if any, then samples to ignore
    SampleType sample = SampleType::uint8;
    bool littleEndian = false; // byte order of 16-bit and float samples
    AlphaMode alpha = AlphaMode::none;
    std::string icc;             // the embedded ICC profile; empty when the file carries none
    int orientation = 1;         // 1…8; a HEIF image arrives already turned by its decoder, so always 1
    std::size_t bytesPerRow = 0; // rows are packed: width × channels × bytes per sample
    PixelBytes pixels;

    std::size_t bytesPerPixel() const { return static_cast<std::size_t>(channels) * bytesPerSample(sample); }
    bool hasAlpha() const { return alpha != AlphaMode::none; }
    const std::uint8_t* row(int y) const { return pixels.data() + static_cast<std::size_t>(y) * bytesPerRow; }
    std::uint8_t* row(int y) { return pixels.data() + static_cast<std::size_t>(y) * bytesPerRow; }

    friend bool operator==(const DecodedImage&, const DecodedImage&) = default;
};

} // namespace PrintKit
