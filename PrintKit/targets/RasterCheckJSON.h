// The JSON form of a raster measurement: "width", "height", "bitsPerColor", "colorSpace", "resolution",
// "imagingBox" and "readings", each reading with "name", "expected", "measured" and "maxDelta". The overall
// maxDelta is computed from the readings and never written. Formatting is the caller's choice; reading is
// strict (every key required, whole numbers that fit), failing with nlohmann::json::exception.
#pragma once

#include "PrintKit/targets/RasterCheck.h"

#include <nlohmann/json.hpp>

namespace PrintKit::RasterCheckJSON {

nlohmann::json encode(const PatchReading& reading);
PatchReading decodeReading(const nlohmann::json& json);

nlohmann::json encode(const RasterCheckResult& result);
RasterCheckResult decodeResult(const nlohmann::json& json);

} // namespace PrintKit::RasterCheckJSON
