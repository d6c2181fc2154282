// The inputs of the sheet benchmarks, made here rather than downloaded: photo-like pictures (smooth
// gradients, hard edges, thin lines and fine texture, so that resampling, sharpening and colour all have work
// and errors show) written with the codec libraries, and a table-based inkjet paper profile built with
// Little CMS. Every file is the same in every run.
#pragma once

#include "PrintKit/render/color/ColorSpace.h"
#include "tests/render/TestProfiles.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <jpeglib.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <tiffio.h>
#include <vector>

namespace SheetInputs {

// A deterministic hash of a pixel position, for texture that no resampler can predict.
inline std::uint32_t hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
    std::uint32_t h = x * 0x9E3779B1u ^ (y + 0x7F4A7C15u) * 0x85EBCA77u ^ seed * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

// Red, green and blue of pixel (x, y) on a 0…1 scale (encoded, not linear).
inline void scene(int x, int y, int width, int height, std::uint32_t seed, double rgb[3]) {
    const double u = static_cast<double>(x) / width, v = static_cast<double>(y) / height;
    const double phase = (seed % 97) * 0.13;
    // Sky-to-ground gradients with soft waves.
    rgb[0] = 0.25 + 0.5 * u + 0.08 * std::sin(9 * v + phase);
    rgb[1] = 0.35 + 0.35 * v + 0.08 * std::sin(7 * u + 2 * phase);
    rgb[2] = 0.75 - 0.5 * v + 0.06 * std::cos(11 * u * v + phase);
    // A dark disc and a bright block with hard edges.
    const double dx = u - 0.3 - 0.02 * (seed % 7), dy = v - 0.55;
    if (dx * dx + dy * dy < 0.015) {
        rgb[0] *= 0.25, rgb[1] *= 0.2, rgb[2] *= 0.3;
    }
    if (u > 0.62 && u < 0.85 && v > 0.15 && v < 0.4) {
        rgb[0] = 0.95, rgb[1] = 0.92, rgb[2] = 0.85;
    }
    // Thin dark lines, one and two pixels wide, in both directions.
    if (x % 211 == 0 || y % 173 == 0 || (x % 307) / 2 == 0) {
        rgb[0] *= 0.15, rgb[1] *= 0.15, rgb[2] *= 0.15;
    }
    // Fine texture: grain of a few levels, stronger in the lower half (grass, fabric).
    const double grain =
        (static_cast<double>(hash(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), seed) &
                             0xFFFF) /
             65535.0 -
         0.5);
    const double amount = v > 0.6 ? 0.12 : 0.03;
    for (int c = 0; c < 3; ++c) {
        rgb[c] = std::fmin(std::fmax(rgb[c] + amount * grain, 0.0), 1.0);
    }
}

// The scene's colour as the amounts of four inks (0 none, 1 full): the ink of the darkest channel goes to
// black, the rest to the colour inks.
inline void inks(double v[4]) {
    const double k = 1 - std::fmax(v[0], std::fmax(v[1], v[2]));
    for (int c = 0; c < 3; ++c) {
        v[c] = k < 1 ? (1 - v[c] - k) / (1 - k) : 0;
    }
    v[3] = k;
}

inline double luma(const double rgb[3]) {
    return 0.2126 * rgb[0] + 0.7152 * rgb[1] + 0.0722 * rgb[2];
}

// RGB, grey (the scene's luma), or CMYK (stored inverted, with the Adobe marker libjpeg writes for it).
enum class JpegColours { rgb, gray, cmyk };

inline void writeJPEG(const std::filesystem::path& path, int width, int height, std::uint32_t seed,
                      const std::string& icc, int quality = 92, JpegColours colours = JpegColours::rgb) {
    const bool cmyk = colours == JpegColours::cmyk;
    const bool gray = colours == JpegColours::gray;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) {
        throw std::runtime_error("cannot write " + path.string());
    }
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file.get());
    const int channels = cmyk ? 4 : gray ? 1 : 3;
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = channels;
    info.in_color_space = cmyk ? JCS_CMYK : gray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    if (!icc.empty()) {
        jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET*>(icc.data()),
                               static_cast<unsigned>(icc.size()));
    }
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * static_cast<std::size_t>(channels));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double v[4];
            scene(x, y, width, height, seed, v);
            if (cmyk) {
                inks(v);
                for (double& ink : v) {
                    ink = 1 - ink;
                }
            } else if (gray) {
                v[0] = luma(v);
            }
            for (int c = 0; c < channels; ++c) {
                row[static_cast<std::size_t>(x * channels + c)] =
                    static_cast<JSAMPLE>(std::lround(v[c] * 255));
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
}

// How a TIFF stores the scene: RGB at 16 bits or in 32-bit floating point, CIELab at 16 bits (L* in
// 0…65535, a* and b* signed in 1/256 units, as libtiff's CIELab photometric has it), or CMYK inks or grey
// at 16 bits.
enum class TiffSamples { rgb16, rgbFloat, lab16, cmyk16, gray16 };

inline void writeTIFF(const std::filesystem::path& path, int width, int height, std::uint32_t seed,
                      const std::string& icc, TiffSamples kind = TiffSamples::rgb16) {
    std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(TIFFOpen(path.c_str(), "w"), TIFFClose);
    if (!tiff) {
        throw std::runtime_error("cannot write " + path.string());
    }
    const bool floating = kind == TiffSamples::rgbFloat;
    const bool lab = kind == TiffSamples::lab16;
    const bool cmyk = kind == TiffSamples::cmyk16;
    const bool gray = kind == TiffSamples::gray16;
    const int channels = cmyk ? 4 : gray ? 1 : 3;
    TIFFSetField(tiff.get(), TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
    TIFFSetField(tiff.get(), TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));
    TIFFSetField(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, channels);
    TIFFSetField(tiff.get(), TIFFTAG_BITSPERSAMPLE, floating ? 32 : 16);
    TIFFSetField(tiff.get(), TIFFTAG_SAMPLEFORMAT, floating ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT);
    TIFFSetField(tiff.get(), TIFFTAG_PHOTOMETRIC,
                 lab    ? PHOTOMETRIC_CIELAB
                 : cmyk ? PHOTOMETRIC_SEPARATED
                 : gray ? PHOTOMETRIC_MINISBLACK
                        : PHOTOMETRIC_RGB);
    if (cmyk) {
        TIFFSetField(tiff.get(), TIFFTAG_INKSET, INKSET_CMYK);
    }
    TIFFSetField(tiff.get(), TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff.get(), TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tiff.get(), TIFFTAG_ROWSPERSTRIP, 16);
    if (!icc.empty()) {
        TIFFSetField(tiff.get(), TIFFTAG_ICCPROFILE, static_cast<std::uint32_t>(icc.size()), icc.data());
    }
    // The scene's values are sRGB; Lab files hold the same colours.
    std::unique_ptr<void, void (*)(void*)> toLab(nullptr, [](void* t) { cmsDeleteTransform(t); });
    if (lab) {
        cmsHPROFILE srgb = cmsCreate_sRGBProfile();
        cmsHPROFILE d50 = cmsCreateLab4Profile(nullptr);
        toLab.reset(
            cmsCreateTransform(srgb, TYPE_RGB_DBL, d50, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0));
        cmsCloseProfile(srgb);
        cmsCloseProfile(d50);
    }
    std::vector<std::uint16_t> row(static_cast<std::size_t>(width) * static_cast<std::size_t>(channels));
    std::vector<float> floats(floating ? row.size() : 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double rgb[4];
            scene(x, y, width, height, seed, rgb);
            const std::size_t i = static_cast<std::size_t>(x) * static_cast<std::size_t>(channels);
            if (cmyk || gray) {
                if (cmyk) {
                    inks(rgb);
                } else {
                    rgb[0] = luma(rgb);
                }
                for (std::size_t c = 0; c < static_cast<std::size_t>(channels); ++c) {
                    row[i + c] = static_cast<std::uint16_t>(std::lround(rgb[c] * 65535));
                }
                continue;
            }
            if (lab) {
                cmsCIELab value;
                cmsDoTransform(toLab.get(), rgb, &value, 1);
                row[i] = static_cast<std::uint16_t>(std::lround(std::clamp(value.L, 0.0, 100.0) * 655.35));
                for (int c = 1; c < 3; ++c) {
                    const double v = std::clamp(c == 1 ? value.a : value.b, -128.0, 127.99);
                    row[i + static_cast<std::size_t>(c)] =
                        static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v * 256)));
                }
                continue;
            }
            for (std::size_t c = 0; c < 3; ++c) {
                if (floating) {
                    floats[i + c] = static_cast<float>(rgb[c]);
                } else {
                    row[i + c] = static_cast<std::uint16_t>(std::lround(rgb[c] * 65535));
                }
            }
        }
        void* samples = floating ? static_cast<void*>(floats.data()) : static_cast<void*>(row.data());
        if (TIFFWriteScanline(tiff.get(), samples, static_cast<std::uint32_t>(y), 0) < 0) {
            throw std::runtime_error("cannot write " + path.string());
        }
    }
}

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

// The files of every benchmark case, made when missing:
//   photo-24mp.jpg   6000 × 4000 sRGB JPEG (the headline case)
//   photo-adobe16.tif 6000 × 4000 16-bit TIFF in an Adobe RGB-like space
//   photo-float.tif  6000 × 4000 32-bit floating-point sRGB TIFF (painted window by window, not read raw)
//   photo-cmyk.jpg   6000 × 4000 untagged CMYK JPEG (colour-matched window by window)
//   photo-prophoto16.tif 6000 × 4000 16-bit TIFF in a ProPhoto-like space (its greens and blues lie far
//                    outside sRGB)
//   photo-table16.tif 6000 × 4000 16-bit TIFF whose profile is table-based (no matrix, no curves)
//   photo-lab16.tif  6000 × 4000 16-bit CIELab TIFF
//   photo-gray.jpg   6000 × 4000 untagged greyscale JPEG
//   photo-cmyk16.tif 6000 × 4000 untagged 16-bit CMYK TIFF
//   photo-gray16.tif 6000 × 4000 untagged 16-bit greyscale TIFF
//   photo-6mp.jpg    3000 × 2000 sRGB JPEG (the small sheet)
//   grid-NN.jpg      20 different 4000 × 3000 sRGB JPEGs
//   paper.icc        a table-based inkjet paper profile (33-point tables)
//   srgb.icc, adobe-rgb-like.icc, prophoto-like.icc   photos' profiles, for the peers' command lines
inline void make(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    const std::string& srgb = PrintKit::ColorSpace::sRGB().icc;
    auto missing = [&](const char* name) { return !std::filesystem::exists(folder / name); };
    if (missing("paper.icc")) {
        writeBytes(folder / "paper.icc", TestProfiles::lutPrinter(33));
    }
    if (missing("srgb.icc")) {
        writeBytes(folder / "srgb.icc", srgb);
    }
    if (missing("adobe-rgb-like.icc")) {
        writeBytes(folder / "adobe-rgb-like.icc", TestProfiles::adobeRGBLike().own);
    }
    if (missing("photo-24mp.jpg")) {
        writeJPEG(folder / "photo-24mp.jpg", 6000, 4000, 1, srgb);
    }
    if (missing("photo-adobe16.tif")) {
        writeTIFF(folder / "photo-adobe16.tif", 6000, 4000, 2, TestProfiles::adobeRGBLike().own);
    }
    if (missing("photo-float.tif")) {
        writeTIFF(folder / "photo-float.tif", 6000, 4000, 4, srgb, TiffSamples::rgbFloat);
    }
    if (missing("photo-cmyk.jpg")) {
        writeJPEG(folder / "photo-cmyk.jpg", 6000, 4000, 5, "", 92, JpegColours::cmyk);
    }
    if (missing("prophoto-like.icc")) {
        writeBytes(folder / "prophoto-like.icc", TestProfiles::proPhotoLike().own);
    }
    if (missing("photo-prophoto16.tif")) {
        writeTIFF(folder / "photo-prophoto16.tif", 6000, 4000, 6, TestProfiles::proPhotoLike().own);
    }
    if (missing("photo-table16.tif")) {
        // Device values are sRGB's, but only a table says so.
        auto same = [](const double* from, double* to) { std::copy(from, from + 3, to); };
        writeTIFF(folder / "photo-table16.tif", 6000, 4000, 7,
                  TestProfiles::lutProfile(cmsSigDisplayClass, 33, same, same, "Table-based display"));
    }
    if (missing("photo-lab16.tif")) {
        writeTIFF(folder / "photo-lab16.tif", 6000, 4000, 8, "", TiffSamples::lab16);
    }
    if (missing("photo-gray.jpg")) {
        writeJPEG(folder / "photo-gray.jpg", 6000, 4000, 9, "", 92, JpegColours::gray);
    }
    if (missing("photo-cmyk16.tif")) {
        writeTIFF(folder / "photo-cmyk16.tif", 6000, 4000, 10, "", TiffSamples::cmyk16);
    }
    if (missing("photo-gray16.tif")) {
        writeTIFF(folder / "photo-gray16.tif", 6000, 4000, 11, "", TiffSamples::gray16);
    }
    if (missing("photo-6mp.jpg")) {
        writeJPEG(folder / "photo-6mp.jpg", 3000, 2000, 3, srgb);
    }
    for (int i = 0; i < 20; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "grid-%02d.jpg", i + 1);
        if (missing(name)) {
            writeJPEG(folder / name, 4000, 3000, static_cast<std::uint32_t>(10 + i), srgb);
        }
    }
}

} // namespace SheetInputs
