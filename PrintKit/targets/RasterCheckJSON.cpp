#include "PrintKit/targets/RasterCheckJSON.h"

#include "PrintKit/targets/StrictJSON.h"

namespace PrintKit::RasterCheckJSON {

using nlohmann::json;
using namespace StrictJSON;

json encode(const PatchReading& reading) {
    return json{{"name", reading.name},
                {"expected", reading.expected},
                {"measured", reading.measured},
                {"maxDelta", reading.maxDelta}};
}

PatchReading decodeReading(const json& value) {
    return PatchReading{string(member(value, "name")), numbers(member(value, "expected")),
                        numbers(member(value, "measured")), number(member(value, "maxDelta"))};
}

json encode(const RasterCheckResult& result) {
    json readings = json::array();
    for (const PatchReading& reading : result.readings) {
        readings.push_back(encode(reading));
    }
    return json{{"width", result.width},
                {"height", result.height},
                {"bitsPerColor", result.bitsPerColor},
                {"colorSpace", result.colorSpace},
                {"resolution", result.resolution},
                {"imagingBox", result.imagingBox},
                {"readings", std::move(readings)}};
}

RasterCheckResult decodeResult(const json& value) {
    RasterCheckResult result;
    result.width = integer<std::int64_t>(member(value, "width"));
    result.height = integer<std::int64_t>(member(value, "height"));
    result.bitsPerColor = integer<std::int64_t>(member(value, "bitsPerColor"));
    result.colorSpace = integer<std::int64_t>(member(value, "colorSpace"));
    result.resolution = integer<std::int64_t>(member(value, "resolution"));
    result.imagingBox = numbers(member(value, "imagingBox"));
    result.readings = list<PatchReading>(member(value, "readings"), decodeReading);
    return result;
}

} // namespace PrintKit::RasterCheckJSON
