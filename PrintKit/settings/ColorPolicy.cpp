#include "PrintKit/settings/ColorPolicy.h"

#include <nlohmann/json.hpp>

namespace PrintKit {

void to_json(nlohmann::json& json, ColorPolicy policy) {
    json = std::string(rawValue(policy));
}

void from_json(const nlohmann::json& json, ColorPolicy& policy) {
    if (json.is_string()) {
        if (auto value = fromRawValue<ColorPolicy>(json.get<std::string>())) {
            policy = *value;
            return;
        }
    }
    throw nlohmann::json::type_error::create(302, "colour policy must be \"app\" or \"driver\"", &json);
}

} // namespace PrintKit
