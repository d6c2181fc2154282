#include "PrintKit/targets/ResampleGolden.h"

#include "PrintKit/render/resample/FilterWeights.h"
#include "PrintKit/render/resample/LanczosResampler.h"
#include "PrintKit/settings/OutputSharpening.h"
#include "PrintKit/support/Geometry.h"
#include "PrintKit/support/Numbers.h"
#include "PrintKit/targets/StrictJSON.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>

namespace PrintKit {

std::string errorMessage(ResampleGoldenErrorCode code, const std::string& detail) {
    switch (code) {
    case ResampleGoldenErrorCode::invalidCase:
        return "재표본화 기준 사례를 계산할 수 없습니다: " + detail;
    }
    return "재표본화 기준 사례를 계산할 수 없습니다: " + detail;
}

namespace ResampleGolden {

namespace {

using nlohmann::json;

// Bounds far beyond any real print axis or band (a 60-inch axis at 1440 dpi is under 2^17 samples), which
// keep a mistyped or hostile case from running for hours or exhausting memory.
constexpr double largestTaps = 1 << 24;         // filter taps of one axis
constexpr std::int64_t largestPixels = 1 << 24; // pixels in any one buffer of a case
constexpr double largestCoordinate = 1 << 30;   // source samples, start or length of an axis

constexpr int kernelResolutions[] = {72, 300, 360, 720, 1440};

// FNV-1a 64 over little-endian bytes, taken value by value, so no list of values has to be kept.
class Fingerprint {
public:
    void add(std::uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) {
            hash_ ^= (value >> shift) & 0xFFu;
            hash_ *= 0x100000001b3ULL;
        }
        if (first_.size() < 24) {
            first_.push_back(value);
        }
        ++count_;
    }

    Digest finish() const {
        Digest digest;
        digest.count = count_;
        char text[16];
        auto [end, error] = std::to_chars(text, text + sizeof text, hash_, 16);
        (void)error; // sixteen hexadecimal digits always fit
        digest.fnv.assign(text, end);
        digest.first = first_;
        return digest;
    }

private:
    std::uint64_t hash_ = 0xcbf29ce484222325ULL;
    std::int64_t count_ = 0;
    std::vector<std::uint32_t> first_;
};

// One channel of the test pattern. Only the low ten bits of the products count, so wrapping 64-bit
// arithmetic gives the same value as exact arithmetic would.
float patternChannel(std::int64_t x, std::int64_t y, std::int64_t seed, int channel) {
    const auto ux = static_cast<std::uint64_t>(x);
    const auto uy = static_cast<std::uint64_t>(y);
    const auto us = static_cast<std::uint64_t>(seed) + static_cast<std::uint64_t>(channel);
    const std::uint64_t v = ((ux * 73856093ULL) ^ (uy * 19349663ULL) ^ (us * 951ULL)) & 1023ULL;
    return static_cast<float>(static_cast<double>(v) / 1023.0);
}

Pixel patternPixel(std::int64_t x, std::int64_t y, std::int64_t seed) {
    return Pixel{patternChannel(x, y, seed, 0), patternChannel(x, y, seed, 1), patternChannel(x, y, seed, 2),
                 1.0f};
}

// Red, green and blue of every pixel as bit patterns; alpha is no part of the answer.
Digest pixelDigest(const Pixel* pixels, std::int64_t count) {
    Fingerprint fingerprint;
    for (std::int64_t i = 0; i < count; ++i) {
        fingerprint.add(std::bit_cast<std::uint32_t>(pixels[i].r));
        fingerprint.add(std::bit_cast<std::uint32_t>(pixels[i].g));
        fingerprint.add(std::bit_cast<std::uint32_t>(pixels[i].b));
    }
    return fingerprint.finish();
}

std::vector<std::uint32_t> floatBits(const std::vector<float>& values) {
    std::vector<std::uint32_t> bits;
    bits.reserve(values.size());
    for (float value : values) {
        bits.push_back(std::bit_cast<std::uint32_t>(value));
    }
    return bits;
}

// Indices keep their low 32 bits, as the answers of every platform carry them.
std::vector<std::uint32_t> lowBits(const std::vector<int>& values) {
    std::vector<std::uint32_t> bits;
    bits.reserve(values.size());
    for (int value : values) {
        bits.push_back(static_cast<std::uint32_t>(value));
    }
    return bits;
}

// ---- refusing what cannot be answered --------------------------------------------------------------------

std::string place(const char* list, std::size_t index) {
    return std::string(list) + "[" + Numbers::integer(static_cast<std::int64_t>(index)) + "]";
}

[[noreturn]] void refuse(const std::string& where, const std::string& what) {
    throw ResampleGoldenError(ResampleGoldenErrorCode::invalidCase, where + " " + what);
}

void requireRange(const std::string& where, const char* field, std::int64_t value, std::int64_t low,
                  std::int64_t high) {
    if (value < low || value > high) {
        refuse(where, std::string(field) + " " + Numbers::integer(value) + " (" + Numbers::integer(low) +
                          "–" + Numbers::integer(high) + "만 가능)");
    }
}

// One axis of weights as FilterWeights will compute it: every output sample visits about six filter widths
// of source samples, so the work (and the weights kept) follows outputCount × filter width.
void requireAxis(const std::string& where, std::int64_t outputCount, double start, double length) {
    if (!(std::abs(start) <= largestCoordinate) || !(std::abs(length) <= largestCoordinate)) {
        refuse(where, "start " + Numbers::shortest(start) + ", length " + Numbers::shortest(length) +
                          ": 좌표가 너무 큽니다");
    }
    if (outputCount < 1) {
        return;
    }
    const double filterScale = std::max(length / static_cast<double>(outputCount), 1.0);
    const double taps = static_cast<double>(outputCount) * (6 * filterScale + 2);
    if (!(taps <= largestTaps)) {
        refuse(where, "필터 탭 " + Numbers::integer(static_cast<std::int64_t>(taps)) + "개: 한도 " +
                          Numbers::integer(static_cast<std::int64_t>(largestTaps)) + "개를 넘습니다");
    }
}

void requirePixels(const std::string& where, std::int64_t columns, std::int64_t rows) {
    // Both factors are below 2^31 here, so the product cannot overflow.
    if (columns * rows > largestPixels) {
        refuse(where, "화소 " + Numbers::integer(columns * rows) + "개: 한도 " +
                          Numbers::integer(largestPixels) + "개를 넘습니다");
    }
}

// ---- the three kinds of case ---------------------------------------------------------------------------

WeightsAnswer answer(const WeightsCase& c, const std::string& where) {
    requireRange(where, "outputCount", c.outputCount, 0, largestPixels);
    requireRange(where, "sourceCount", c.sourceCount, 1, std::numeric_limits<int>::max());
    requireAxis(where, c.outputCount, c.start, c.length);
    const FilterWeights weights(static_cast<int>(c.outputCount), c.start, c.length,
                                static_cast<int>(c.sourceCount));
    return WeightsAnswer{Digest(lowBits(weights.starts)), Digest(lowBits(weights.counts)),
                         Digest(floatBits(weights.weights))};
}

Digest answer(const ResampleCase& c, const std::string& where) {
    requireRange(where, "sourceWidth", c.sourceWidth, 1, std::numeric_limits<int>::max());
    requireRange(where, "sourceHeight", c.sourceHeight, 1, std::numeric_limits<int>::max());
    requireRange(where, "outputWidth", c.outputWidth, 1, largestPixels);
    requireRange(where, "outputHeight", c.outputHeight, 1, largestPixels);
    requireRange(where, "seed", c.seed, 0, std::numeric_limits<std::int64_t>::max());
    if (c.crop.size() < 4) {
        refuse(where,
               "crop: 값 " + Numbers::integer(static_cast<std::int64_t>(c.crop.size())) + "개 (4개 필요)");
    }
    if (c.rows.size() < 2) {
        refuse(where,
               "rows: 값 " + Numbers::integer(static_cast<std::int64_t>(c.rows.size())) + "개 (2개 필요)");
    }
    const std::int64_t first = c.rows[0];
    const std::int64_t end = c.rows[1];
    if (first < 0 || end < first || end > c.outputHeight) {
        refuse(where, "rows " + Numbers::integer(first) + "–" + Numbers::integer(end) + ": 출력 행 0–" +
                          Numbers::integer(c.outputHeight) + " 밖입니다");
    }
    const Rect crop(c.crop[0], c.crop[1], c.crop[2], c.crop[3]);
    const auto sourceWidth = static_cast<double>(c.sourceWidth);
    const auto sourceHeight = static_cast<double>(c.sourceHeight);
    requireAxis(where + " x", c.outputWidth, crop.minX() * sourceWidth, crop.width() * sourceWidth);
    requireAxis(where + " y", c.outputHeight, crop.minY() * sourceHeight, crop.height() * sourceHeight);
    requirePixels(where, c.outputWidth, end - first);
    if (end == first) {
        return Digest(std::vector<std::uint32_t>{}); // no rows asked for: nothing to resample
    }

    auto source = std::make_shared<PatternSource>(static_cast<int>(c.sourceWidth),
                                                  static_cast<int>(c.sourceHeight), c.seed);
    const LanczosResampler resampler(source, crop, static_cast<int>(c.outputWidth),
                                     static_cast<int>(c.outputHeight));
    const IndexRange rows{static_cast<int>(first), static_cast<int>(end)};
    // The resampler holds the source rows these output rows read, and their horizontal result.
    const std::int64_t sourceRows = resampler.vertical().used(rows).count();
    requirePixels(where, resampler.columns().count(), sourceRows);
    requirePixels(where, c.outputWidth, sourceRows);

    const std::int64_t count = c.outputWidth * (end - first);
    auto buffer = std::make_unique_for_overwrite<Pixel[]>(static_cast<std::size_t>(count));
    resampler.render(rows, buffer.get());
    return pixelDigest(buffer.get(), count);
}

Digest answer(const SharpenCase& c, const std::string& where) {
    requireRange(where, "width", c.width, 0, largestPixels);
    requireRange(where, "rows", c.rows, 0, largestPixels);
    requireRange(where, "seed", c.seed, 0, std::numeric_limits<std::int64_t>::max());
    requirePixels(where, c.width, c.rows);

    const std::int64_t count = c.width * c.rows;
    auto buffer = std::make_unique_for_overwrite<Pixel[]>(static_cast<std::size_t>(count));
    for (std::int64_t y = 0; y < c.rows; ++y) {
        for (std::int64_t x = 0; x < c.width; ++x) {
            buffer[static_cast<std::size_t>(y * c.width + x)] = patternPixel(x, y, c.seed);
        }
    }
    // "off" and any text that names no level leave the pattern as it is.
    if (const auto level = fromRawValue<OutputSharpening>(c.level)) {
        apply(*level, buffer.get(), static_cast<int>(c.width), static_cast<int>(c.rows), c.resolution);
    }
    return pixelDigest(buffer.get(), count);
}

// ---- JSON ----------------------------------------------------------------------------------------------

Cases decode(std::string_view bytes) {
    using namespace StrictJSON;
    const json document = json::parse(bytes);
    Cases cases;
    cases.weights = list<WeightsCase>(member(document, "weights"), [](const json& v) {
        return WeightsCase{integer<std::int64_t>(member(v, "outputCount")), number(member(v, "start")),
                           number(member(v, "length")), integer<std::int64_t>(member(v, "sourceCount"))};
    });
    cases.resample = list<ResampleCase>(member(document, "resample"), [](const json& v) {
        return ResampleCase{integer<std::int64_t>(member(v, "sourceWidth")),
                            integer<std::int64_t>(member(v, "sourceHeight")),
                            numbers(member(v, "crop")),
                            integer<std::int64_t>(member(v, "outputWidth")),
                            integer<std::int64_t>(member(v, "outputHeight")),
                            integers<std::int64_t>(member(v, "rows")),
                            integer<std::int64_t>(member(v, "seed"))};
    });
    cases.sharpen = list<SharpenCase>(member(document, "sharpen"), [](const json& v) {
        return SharpenCase{integer<std::int64_t>(member(v, "width")),
                           integer<std::int64_t>(member(v, "rows")), number(member(v, "resolution")),
                           StrictJSON::string(member(v, "level")), integer<std::int64_t>(member(v, "seed"))};
    });
    return cases;
}

json encode(const Digest& digest) {
    return json{{"count", digest.count}, {"fnv", digest.fnv}, {"first", digest.first}};
}

// nlohmann::json keeps object members sorted by key, which is the order these answers are published in.
json encode(const Answers& answers) {
    json weights = json::array();
    for (const WeightsAnswer& w : answers.weights) {
        weights.push_back(
            json{{"starts", encode(w.starts)}, {"counts", encode(w.counts)}, {"weights", encode(w.weights)}});
    }
    json resample = json::array();
    for (const Digest& d : answers.resample) {
        resample.push_back(encode(d));
    }
    json sharpen = json::array();
    for (const Digest& d : answers.sharpen) {
        sharpen.push_back(encode(d));
    }
    json kernels = json::object();
    for (const auto& [key, bits] : answers.kernels) {
        kernels[key] = bits;
    }
    return json{{"weights", std::move(weights)},
                {"resample", std::move(resample)},
                {"sharpen", std::move(sharpen)},
                {"kernels", std::move(kernels)}};
}

} // namespace

Digest::Digest(const std::vector<std::uint32_t>& values) {
    Fingerprint fingerprint;
    for (std::uint32_t value : values) {
        fingerprint.add(value);
    }
    *this = fingerprint.finish();
}

PatternSource::PatternSource(int width, int height, std::int64_t seed)
    : width_(width), height_(height), seed_(seed) {}

void PatternSource::draw(IndexRange columns, IndexRange rows, Pixel* into) {
    const std::int64_t stride = columns.count();
    for (int y = rows.lowerBound; y < rows.upperBound; ++y) {
        Pixel* row = into + static_cast<std::int64_t>(y - rows.lowerBound) * stride;
        for (int x = columns.lowerBound; x < columns.upperBound; ++x) {
            row[x - columns.lowerBound] = patternPixel(x, y, seed_);
        }
    }
}

std::string answers(std::string_view bytes) {
    const Cases cases = decode(bytes);
    Answers result;
    // Cases run one after another; inside each the resampler and the sharpening spread rows over workers.
    for (std::size_t i = 0; i < cases.weights.size(); ++i) {
        result.weights.push_back(answer(cases.weights[i], place("weights", i)));
    }
    for (std::size_t i = 0; i < cases.resample.size(); ++i) {
        result.resample.push_back(answer(cases.resample[i], place("resample", i)));
    }
    for (std::size_t i = 0; i < cases.sharpen.size(); ++i) {
        result.sharpen.push_back(answer(cases.sharpen[i], place("sharpen", i)));
    }
    for (int resolution : kernelResolutions) {
        result.kernels[Numbers::integer(resolution)] = floatBits(kernel(static_cast<double>(resolution)));
    }
    return encode(result).dump();
}

} // namespace ResampleGolden

} // namespace PrintKit
