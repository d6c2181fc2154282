#include "PrintKit/settings/PrintOption.h"

#include <nlohmann/json.hpp>

namespace PrintKit {

void to_json(nlohmann::json& json, const PrintOption& option) {
    json = nlohmann::json{{"key", option.key}, {"value", option.value}};
}

void from_json(const nlohmann::json& json, PrintOption& option) {
    if (!json.is_object()) {
        throw nlohmann::json::type_error::create(
            302, std::string("type must be object, but is ") + json.type_name(), &json);
    }
    const auto& key = json.at("key");
    const auto& value = json.at("value");
    if (!key.is_string() || !value.is_string()) {
        throw nlohmann::json::type_error::create(302, "print option key and value must be strings", &json);
    }
    option.key = key.get<std::string>();
    option.value = value.get<std::string>();
}

} // namespace PrintKit

std::size_t std::hash<PrintKit::PrintOption>::operator()(const PrintKit::PrintOption& option) const noexcept {
    std::size_t seed = std::hash<std::string>{}(option.key);
    seed ^= std::hash<std::string>{}(option.value) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    return seed;
}
