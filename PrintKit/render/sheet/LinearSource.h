// One decoded photo as the renderer sees it: upright (its orientation applied), optionally turned a quarter
// turn for a turned canvas, and delivered as linear-light pixels of a linearised RGB working space. The
// Lanczos resampler pulls windows from it. Pixels are read straight from the decoded bytes through tone
// tables when the photo is plain 8- or 16-bit RGB in its working space; otherwise each drawn window is
// painted into the working space at the photo's own depth (colour-matched, over white) and linearised through
// tone tables, or through colour transforms when the working space has no trustworthy tables. The decoded
// photo is the only full copy of its pixels that the source ever holds.
#pragma once

#include "PrintKit/render/color/ColorSpace.h"
#include "PrintKit/render/color/ColorTransform.h"
#include "PrintKit/render/decode/DecodedImage.h"
#include "PrintKit/render/resample/IndexRange.h"
#include "PrintKit/render/decode/Orientation.h"
#include "PrintKit/render/resample/ResampleSource.h"
#include "PrintKit/render/color/ToneCurves.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace PrintKit {

// Where the red, green and blue samples of one pixel lie in a row of a decoded image that is already in
// the working space, when its bytes can be read as they are.
struct RawLayout {
    int bytesPerPixel = 0;
    int red = 0; // byte offsets inside a pixel
    int green = 0;
    int blue = 0;
    bool deep = false;         // 16-bit samples
    bool littleEndian = false; // of 16-bit samples

    // A layout only for integer RGB samples in `space` itself (the same profile bytes), without real alpha:
    // 8-bit with 3 samples per pixel, or 4 of which the last is a filler; 16-bit likewise.
    static std::optional<RawLayout> make(const DecodedImage& image, const ColorSpace& space);

    friend bool operator==(const RawLayout&, const RawLayout&) = default;
};

// How a source paints stored pixels into its working-space bitmap (defined with the source).
struct LinearSourcePainter;

class LinearSource final : public ResampleSource {
public:
    struct Decoded {
        std::shared_ptr<const DecodedImage> image;
        int orientation = 1;
    };

    // The first image of the file and its orientation tag. Fails with SheetRenderError.unreadableImage and
    // the path.
    static Decoded read(const std::filesystem::path& path);
    // An upright image whose longer side is at most maxPixel, made from the full image (never an embedded
    // thumbnail); build its source with orientation 1. Fails like read().
    static std::shared_ptr<const DecodedImage> readReduced(const std::filesystem::path& path, int maxPixel);

    // Chooses the working spaces and computes the sizes; decodes nothing. Orientations outside 1…8 are 1.
    // Fails with SheetRenderError.cannotCreateImage when a working space's profile cannot be had.
    LinearSource(std::shared_ptr<const DecodedImage> image, int orientation, bool turned);
    ~LinearSource() override;
    LinearSource(const LinearSource&) = delete;
    LinearSource& operator=(const LinearSource&) = delete;

    const std::shared_ptr<const DecodedImage>& image() const { return image_; }
    int orientation() const { return orientation_; }
    bool turned() const { return turned_; }
    // The presented size: after the orientation and the turn.
    int width() const override { return width_; }
    int height() const override { return height_; }
    // The working space (RGB with an ICC profile) and the same space with linear tone curves.
    const ColorSpace& space() const { return space_; }
    const ColorSpace& linearSpace() const { return linearSpace_; }
    // The working space's shared tone curves at the depth in use, when they exist and passed their check.
    const std::shared_ptr<const ToneCurves>& curves() const { return curves_; }

    // Chooses how pixels are read, straight from the decoded bytes or painted window by window, and prepares
    // the tone tables and the colour matching; the window (half-open ranges) must lie inside the presented
    // size. Fails with SheetRenderError.cannotCreateImage when the colour matching cannot be made.
    void cache(IndexRange columns, IndexRange rows);
    // Fills columns.count() × rows.count() linear pixels, row by row, stride columns.count(). Fails with the
    // errors of cache(), SheetRenderError.cannotCreateImage when the painted window's memory cannot be had,
    // or the errors of the colour transforms (ColorTransformError).
    void draw(IndexRange columns, IndexRange rows, Pixel* into) override;

    // Whether it reads the decoded bytes directly, rather than painting each drawn window first.
    bool readsDecodedBytes() const { return raw_.has_value(); }

private:
    void preparePainter();
    // The window in the working space, RGBA at 8 or 16 bits (deep_), rows packed, into `bitmap`.
    void paint(IndexRange columns, IndexRange rows, std::uint8_t* bitmap) const;
    void drawRaw(IndexRange columns, IndexRange rows, Pixel* into) const;
    void drawPaintedWithCurves(const std::uint8_t* bitmap, int cols, int count, Pixel* into) const;
    void drawPaintedWithTransforms(const std::uint8_t* bitmap, int cols, int count, Pixel* into);
    void fetchCurves(int levels);

    std::shared_ptr<const DecodedImage> image_;
    int orientation_ = 1;
    bool turned_ = false;
    int width_ = 0;
    int height_ = 0;
    ColorSpace space_;
    ColorSpace linearSpace_;
    int uprightWidth_ = 0;
    int uprightHeight_ = 0;
    Orientation::Mapping mapping_;
    bool deep_ = false;
    std::vector<ColorTransform> toLinear_;
    std::optional<RawLayout> raw_;
    std::shared_ptr<const ToneCurves> curves_;
    std::unique_ptr<LinearSourcePainter> painter_;
};

} // namespace PrintKit
