#include "PrintKit/targets/TestTargetJSON.h"

#include "PrintKit/targets/StrictJSON.h"

namespace PrintKit::TestTargetJSON {

using nlohmann::json;
using namespace StrictJSON;

json encode(const TestPatch& patch) {
    return json{{"name", patch.name}, {"rgb", patch.rgb}, {"rect", patch.rect}};
}

TestPatch decodePatch(const json& value) {
    return TestPatch{string(member(value, "name")), numbers(member(value, "rgb")),
                     numbers(member(value, "rect"))};
}

json encode(const TestTargetManifest& manifest) {
    json patches = json::array();
    for (const TestPatch& patch : manifest.patches) {
        patches.push_back(encode(patch));
    }
    return json{{"pageName", manifest.pageName},
                {"pageWidth", manifest.pageWidth},
                {"pageHeight", manifest.pageHeight},
                {"variant", manifest.variant},
                {"patches", std::move(patches)}};
}

TestTargetManifest decodeManifest(const json& value) {
    TestTargetManifest manifest;
    manifest.pageName = string(member(value, "pageName"));
    manifest.pageWidth = number(member(value, "pageWidth"));
    manifest.pageHeight = number(member(value, "pageHeight"));
    manifest.variant = string(member(value, "variant"));
    manifest.patches = list<TestPatch>(member(value, "patches"), decodePatch);
    return manifest;
}

} // namespace PrintKit::TestTargetJSON
