// The JSON form of a test target's manifest, as outside tools exchange it: keys named after the fields
// ("pageName", "pageWidth", "pageHeight", "variant", "patches"; in each patch "name", "rgb", "rect"). How the
// document is formatted is the caller's choice (dump with or without indentation). Reading is strict: every
// key is required and must have its JSON type; a wrong document throws nlohmann::json::exception.
#pragma once

#include "PrintKit/targets/TestTarget.h"

#include <nlohmann/json.hpp>

namespace PrintKit::TestTargetJSON {

nlohmann::json encode(const TestPatch& patch);
TestPatch decodePatch(const nlohmann::json& json);

nlohmann::json encode(const TestTargetManifest& manifest);
TestTargetManifest decodeManifest(const nlohmann::json& json);

} // namespace PrintKit::TestTargetJSON
