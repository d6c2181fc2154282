#include "PrintKit/settings/PPDFile.h"

#include "PrintKit/support/Text.h"

#include <nlohmann/json.hpp>

namespace PrintKit {

namespace {

const std::string& labelIn(const LocalizedLabels& labels, const std::string& plain,
                           const std::optional<std::string>& language) {
    if (language) {
        if (auto found = labels.find(*language); found != labels.end()) {
            return found->second;
        }
    }
    return plain;
}

// --- JSON reading: strict about types, as the stored form is our own. ---

using nlohmann::json;

[[noreturn]] void wrongType(const json& value, const char* wanted) {
    throw json::type_error::create(
        302, std::string("type must be ") + wanted + ", but is " + value.type_name(), &value);
}

const json& requireObject(const json& value) {
    if (!value.is_object()) {
        wrongType(value, "object");
    }
    return value;
}

std::string readString(const json& value) {
    if (!value.is_string()) {
        wrongType(value, "string");
    }
    return value.get<std::string>();
}

double readDouble(const json& value) {
    if (!value.is_number()) {
        wrongType(value, "number");
    }
    return value.get<double>();
}

std::map<std::string, std::string> readStringMap(const json& value) {
    requireObject(value);
    std::map<std::string, std::string> result;
    for (const auto& [key, item] : value.items()) {
        result.emplace(key, readString(item));
    }
    return result;
}

template <typename T, typename Read> std::vector<T> readArray(const json& value, Read read) {
    if (!value.is_array()) {
        wrongType(value, "array");
    }
    std::vector<T> result;
    result.reserve(value.size());
    for (const auto& item : value) {
        result.push_back(read(item));
    }
    return result;
}

template <typename T> T readRecord(const json& value) {
    T record;
    from_json(value, record);
    return record;
}

// An optional member: missing or null is absent.
const json* optionalMember(const json& object, const char* key) {
    auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
        return nullptr;
    }
    return &*found;
}

} // namespace

const PPDChoice* PPDOption::choice(std::string_view key) const& {
    for (const auto& item : choices) {
        if (item.key == key) {
            return &item;
        }
    }
    return nullptr;
}

const PPDOption* PPDFile::option(std::string_view keyword) const& {
    for (const auto& item : options) {
        if (item.keyword == keyword) {
            return &item;
        }
    }
    return nullptr;
}

const PPDPageSize* PPDFile::pageSize(std::string_view name) const& {
    for (const auto& item : pageSizes) {
        if (item.name == name) {
            return &item;
        }
    }
    return nullptr;
}

std::string label(const PPDOption& option, const std::optional<std::string>& language) {
    return labelIn(option.localizedLabels, option.label, language);
}

std::string label(const PPDChoice& choice, const std::optional<std::string>& language) {
    return labelIn(choice.localizedLabels, choice.label, language);
}

std::string label(const PPDPageSize& pageSize, const std::optional<std::string>& language) {
    return labelIn(pageSize.localizedLabels, pageSize.label, language);
}

PPDPreset PPDPreset::fromBody(std::string name, std::string label, std::string_view body) {
    PPDPreset preset{std::move(name), std::move(label), {}, std::nullopt};
    std::size_t start = 0;
    while (start <= body.size()) {
        auto end = body.find('\n', start);
        if (end == std::string_view::npos) {
            end = body.size();
        }
        auto line = Text::trimmedSpacesAndTabs(body.substr(start, end - start));
        start = end + 1;
        // Only a space separates key and value; a tab-separated line is not a setting.
        auto space = line.find(' ');
        if (space == std::string_view::npos || space + 1 >= line.size()) {
            continue;
        }
        auto key = line.substr(0, space);
        auto value = line.substr(space + 1);
        if (key.empty() || key.front() != '*') {
            if (key == "com.apple.print.preset.quality") {
                preset.quality = std::string(value);
            }
            continue;
        }
        key.remove_prefix(1);
        if (key == "EPIJPrinterPreset" || key.starts_with("EPSON.")) {
            continue;
        }
        preset.settings.insert_or_assign(std::string(key), std::string(value));
    }
    return preset;
}

// --- JSON ---

void to_json(json& out, const PPDChoice& value) {
    out = json{{"key", value.key}, {"label", value.label}, {"localizedLabels", value.localizedLabels}};
}

void from_json(const json& in, PPDChoice& value) {
    requireObject(in);
    value.key = readString(in.at("key"));
    value.label = readString(in.at("label"));
    value.localizedLabels = readStringMap(in.at("localizedLabels"));
}

void to_json(json& out, const PPDOption& value) {
    out = json{{"keyword", value.keyword},
               {"label", value.label},
               {"localizedLabels", value.localizedLabels},
               {"uiType", value.uiType},
               {"choices", value.choices}};
    if (value.group) {
        out["group"] = *value.group;
    }
    if (value.defaultChoice) {
        out["defaultChoice"] = *value.defaultChoice;
    }
    if (value.order) {
        out["order"] = *value.order;
    }
}

void from_json(const json& in, PPDOption& value) {
    requireObject(in);
    value.keyword = readString(in.at("keyword"));
    value.label = readString(in.at("label"));
    value.localizedLabels = readStringMap(in.at("localizedLabels"));
    value.uiType = readString(in.at("uiType"));
    const json* group = optionalMember(in, "group");
    value.group = group ? std::optional(readString(*group)) : std::nullopt;
    const json* defaultChoice = optionalMember(in, "defaultChoice");
    value.defaultChoice = defaultChoice ? std::optional(readString(*defaultChoice)) : std::nullopt;
    const json* order = optionalMember(in, "order");
    value.order = order ? std::optional(readDouble(*order)) : std::nullopt;
    value.choices = readArray<PPDChoice>(in.at("choices"), readRecord<PPDChoice>);
}

void to_json(json& out, const PPDPageSize& value) {
    out = json{{"name", value.name},
               {"label", value.label},
               {"localizedLabels", value.localizedLabels},
               {"width", value.width},
               {"height", value.height}};
    if (value.imageableArea) {
        out["imageableArea"] = *value.imageableArea;
    }
}

void from_json(const json& in, PPDPageSize& value) {
    requireObject(in);
    value.name = readString(in.at("name"));
    value.label = readString(in.at("label"));
    value.localizedLabels = readStringMap(in.at("localizedLabels"));
    value.width = readDouble(in.at("width"));
    value.height = readDouble(in.at("height"));
    const json* area = optionalMember(in, "imageableArea");
    value.imageableArea = area ? std::optional(readArray<double>(*area, readDouble)) : std::nullopt;
}

void to_json(json& out, const PPDColorProfile& value) {
    out = json{{"qualifier", value.qualifier}, {"label", value.label}, {"path", value.path}};
}

void from_json(const json& in, PPDColorProfile& value) {
    requireObject(in);
    value.qualifier = readString(in.at("qualifier"));
    value.label = readString(in.at("label"));
    value.path = readString(in.at("path"));
}

void to_json(json& out, const PPDPreset& value) {
    out = json{{"name", value.name}, {"label", value.label}, {"settings", value.settings}};
    if (value.quality) {
        out["quality"] = *value.quality;
    }
}

void from_json(const json& in, PPDPreset& value) {
    requireObject(in);
    value.name = readString(in.at("name"));
    value.label = readString(in.at("label"));
    value.settings = readStringMap(in.at("settings"));
    const json* quality = optionalMember(in, "quality");
    value.quality = quality ? std::optional(readString(*quality)) : std::nullopt;
}

void to_json(json& out, const PPDCustomSizeRange& value) {
    out = json{{"minWidth", value.minWidth},
               {"maxWidth", value.maxWidth},
               {"minHeight", value.minHeight},
               {"maxHeight", value.maxHeight}};
}

void from_json(const json& in, PPDCustomSizeRange& value) {
    requireObject(in);
    value.minWidth = readDouble(in.at("minWidth"));
    value.maxWidth = readDouble(in.at("maxWidth"));
    value.minHeight = readDouble(in.at("minHeight"));
    value.maxHeight = readDouble(in.at("maxHeight"));
}

void to_json(json& out, const PPDFile& value) {
    out = json{{"manufacturer", value.manufacturer},
               {"modelName", value.modelName},
               {"nickName", value.nickName},
               {"attributes", value.attributes},
               {"filters", value.filters},
               {"preFilters", value.preFilters},
               {"options", value.options},
               {"pageSizes", value.pageSizes},
               {"colorProfiles", value.colorProfiles},
               {"presets", value.presets}};
    if (value.customSizeRange) {
        out["customSizeRange"] = *value.customSizeRange;
    }
}

void from_json(const json& in, PPDFile& value) {
    requireObject(in);
    value.manufacturer = readString(in.at("manufacturer"));
    value.modelName = readString(in.at("modelName"));
    value.nickName = readString(in.at("nickName"));
    value.attributes = readStringMap(in.at("attributes"));
    value.filters = readArray<std::string>(in.at("filters"), readString);
    value.preFilters = readArray<std::string>(in.at("preFilters"), readString);
    value.options = readArray<PPDOption>(in.at("options"), readRecord<PPDOption>);
    value.pageSizes = readArray<PPDPageSize>(in.at("pageSizes"), readRecord<PPDPageSize>);
    value.colorProfiles = readArray<PPDColorProfile>(in.at("colorProfiles"), readRecord<PPDColorProfile>);
    value.presets = readArray<PPDPreset>(in.at("presets"), readRecord<PPDPreset>);
    const json* range = optionalMember(in, "customSizeRange");
    value.customSizeRange = range ? std::optional(readRecord<PPDCustomSizeRange>(*range)) : std::nullopt;
}

} // namespace PrintKit

std::size_t std::hash<PrintKit::PPDChoice>::operator()(const PrintKit::PPDChoice& choice) const noexcept {
    std::hash<std::string> text;
    std::size_t seed = 0;
    auto combine = [&seed](std::size_t value) {
        seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    };
    combine(text(choice.key));
    combine(text(choice.label));
    combine(choice.localizedLabels.size());
    for (const auto& [language, label] : choice.localizedLabels) {
        combine(text(language));
        combine(text(label));
    }
    return seed;
}
