// Reference answers for the engine's resampling and sharpening arithmetic: Lanczos filter weights of one
// axis, a resampled block and a sharpened block of a synthetic test pattern, each answered as a compact
// digest of the exact float bit patterns, plus the sharpening kernels of five fixed resolutions. Outside
// tools compare these digests across builds and platforms; the application never calls this.
#pragma once

#include "PrintKit/render/resample/IndexRange.h"
#include "PrintKit/support/Pixel.h"
#include "PrintKit/render/resample/ResampleSource.h"
#include "PrintKit/support/Error.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace PrintKit {

enum class ResampleGoldenErrorCode {
    invalidCase, // detail: the case and the value that cannot be answered
};

std::string errorMessage(ResampleGoldenErrorCode code, const std::string& detail);
using ResampleGoldenError = ServiceError<ResampleGoldenErrorCode>;

namespace ResampleGolden {

// The arguments of one axis of filter weights: {"outputCount", "start", "length", "sourceCount"}.
struct WeightsCase {
    std::int64_t outputCount = 0;
    double start = 0;  // source samples
    double length = 0; // source samples
    std::int64_t sourceCount = 0;

    friend bool operator==(const WeightsCase&, const WeightsCase&) = default;
};

// {"sourceWidth", "sourceHeight", "crop", "outputWidth", "outputHeight", "rows", "seed"}.
struct ResampleCase {
    std::int64_t sourceWidth = 0;
    std::int64_t sourceHeight = 0;
    std::vector<double> crop; // x, y, width, height in unit coordinates of the source
    std::int64_t outputWidth = 0;
    std::int64_t outputHeight = 0;
    std::vector<std::int64_t> rows; // first output row and one past the last
    std::int64_t seed = 0;

    friend bool operator==(const ResampleCase&, const ResampleCase&) = default;
};

// {"width", "rows", "resolution", "level", "seed"}.
struct SharpenCase {
    std::int64_t width = 0;
    std::int64_t rows = 0;
    double resolution = 0; // dots per inch
    std::string level;     // "off", "low", "standard" or "high"; any other text sharpens nothing
    std::int64_t seed = 0;

    friend bool operator==(const SharpenCase&, const SharpenCase&) = default;
};

// {"weights", "resample", "sharpen"}; each list may be empty but must be present.
struct Cases {
    std::vector<WeightsCase> weights;
    std::vector<ResampleCase> resample;
    std::vector<SharpenCase> sharpen;

    friend bool operator==(const Cases&, const Cases&) = default;
};

// A fingerprint of a list of 32-bit values: {"count", "fnv", "first"}.
struct Digest {
    std::int64_t count = 0;
    std::string fnv;                  // FNV-1a 64 over the values' little-endian bytes, lowercase hex
    std::vector<std::uint32_t> first; // the first 24 values

    Digest() = default;
    explicit Digest(const std::vector<std::uint32_t>& values);

    friend bool operator==(const Digest&, const Digest&) = default;
};

struct WeightsAnswer {
    Digest starts;
    Digest counts;
    Digest weights; // float bit patterns

    friend bool operator==(const WeightsAnswer&, const WeightsAnswer&) = default;
};

struct Answers {
    std::vector<WeightsAnswer> weights;
    std::vector<Digest> resample;
    std::vector<Digest> sharpen;
    // "72", "300", "360", "720", "1440" → the sharpening kernel for that resolution as float bit patterns
    std::map<std::string, std::vector<std::uint32_t>> kernels;

    friend bool operator==(const Answers&, const Answers&) = default;
};

// The synthetic test pattern: each channel of each pixel a pseudo-random multiple of 1/1023 computed from its
// column, row and the seed; alpha 1. It holds no pixels.
class PatternSource final : public ResampleSource {
public:
    PatternSource(int width, int height, std::int64_t seed);

    int width() const override { return width_; }
    int height() const override { return height_; }
    void draw(IndexRange columns, IndexRange rows, Pixel* into) override;

private:
    int width_;
    int height_;
    std::int64_t seed_;
};

// The request's JSON in, the answers' JSON out (compact, keys sorted). Errors: the JSON layer's
// (nlohmann::json::exception) for a request that does not decode; ResampleGoldenError for a case that
// cannot be answered within bounds: a size below 1 (below 0 for a sharpened block) or a negative seed, a crop
// of fewer than four values, rows outside the output, or an amount of work or memory far beyond any real
// print (more than 2^24 filter taps or pixels in one buffer, coordinates beyond 2^30 samples).
std::string answers(std::string_view cases);

} // namespace ResampleGolden

} // namespace PrintKit
