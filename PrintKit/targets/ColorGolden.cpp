#include "PrintKit/targets/ColorGolden.h"

#include "PrintKit/render/color/ColorSpace.h"
#include "PrintKit/render/color/ColorTransform.h"
#include "PrintKit/support/FileIO.h"
#include "PrintKit/support/Numbers.h"
#include "PrintKit/targets/StrictJSON.h"

#include <bit>
#include <exception>

namespace PrintKit {

std::string errorMessage(ColorGoldenErrorCode code, const std::string& detail) {
    switch (code) {
    case ColorGoldenErrorCode::invalidCase:
        return "색 변환 기준 사례가 올바르지 않습니다: " + detail;
    }
    return "색 변환 기준 사례가 올바르지 않습니다: " + detail;
}

namespace ColorGolden {

namespace {

using nlohmann::json;

// No ICC profile can be larger: its header counts bytes in 32 bits.
constexpr std::uint64_t largestProfile = UINT32_MAX;

Cases decode(std::string_view bytes) {
    using namespace StrictJSON;
    const json document = json::parse(bytes);
    Cases cases;
    cases.colors = list<std::vector<std::uint16_t>>(member(document, "colors"), integers<std::uint16_t>);
    cases.profiles = list<std::string>(member(document, "profiles"), StrictJSON::string);
    for (std::size_t i = 0; i < cases.colors.size(); ++i) {
        if (cases.colors[i].size() < 3) {
            throw ColorGoldenError(ColorGoldenErrorCode::invalidCase,
                                   "colors[" + Numbers::integer(static_cast<std::int64_t>(i)) + "]: 값 " +
                                       Numbers::integer(static_cast<std::int64_t>(cases.colors[i].size())) +
                                       "개");
        }
    }
    return cases;
}

// The transform takes and gives 16-bit samples in little-endian byte order, whatever the machine's.
std::uint16_t littleEndian(std::uint16_t value) {
    if constexpr (std::endian::native == std::endian::little) {
        return value;
    } else {
        return static_cast<std::uint16_t>((value >> 8) | (value << 8));
    }
}

nlohmann::ordered_json encode(const Answer& answer) {
    // Members in declaration order, as the default encoders of other platforms write them.
    nlohmann::ordered_json object;
    object["profile"] = answer.profile;
    object["intent"] = std::string(rawValue(answer.intent));
    object["blackPointCompensation"] = answer.blackPointCompensation;
    object["colors"] = answer.colors;
    return object;
}

} // namespace

std::string answers(std::string_view bytes) {
    const Cases cases = decode(bytes);
    const std::size_t n = cases.colors.size();
    if (n > static_cast<std::size_t>(INT32_MAX)) {
        throw ColorGoldenError(ColorGoldenErrorCode::invalidCase,
                               "colors: " + Numbers::integer(static_cast<std::int64_t>(n)));
    }

    std::string source;
    try {
        source = ColorSpace::sRGB().icc;
    } catch (const std::exception&) {
        throw ColorTransformError(ColorTransformErrorCode::cannotCreateTransform);
    }
    if (source.empty()) {
        throw ColorTransformError(ColorTransformErrorCode::cannotCreateTransform);
    }

    // Red, green, blue and a fourth sample the transform skips.
    std::vector<std::uint16_t> row(4 * n, 0);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t c = 0; c < 3; ++c) {
            row[4 * i + c] = littleEndian(cases.colors[i][c]);
        }
    }

    std::vector<Answer> result;
    result.reserve(4 * cases.profiles.size());
    for (const std::string& path : cases.profiles) {
        const std::string destination = FileIO::readFile(path, largestProfile);
        for (RenderingIntent intent : allCases<RenderingIntent>()) {
            for (bool compensation : {true, false}) {
                const ColorTransform transform(source, destination, intent, compensation);
                std::vector<std::uint16_t> converted(3 * n, 0);
                transform.convert(row.data(), true, converted.data(), false, static_cast<int>(n), 1);
                Answer answer{path, intent, compensation, {}};
                answer.colors.reserve(n);
                for (std::size_t i = 0; i < n; ++i) {
                    answer.colors.push_back({littleEndian(converted[3 * i]),
                                             littleEndian(converted[3 * i + 1]),
                                             littleEndian(converted[3 * i + 2])});
                }
                result.push_back(std::move(answer));
            }
        }
    }

    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const Answer& answer : result) {
        list.push_back(encode(answer));
    }
    return list.dump();
}

} // namespace ColorGolden

} // namespace PrintKit
