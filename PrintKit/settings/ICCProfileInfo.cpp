#include "PrintKit/settings/ICCProfileInfo.h"

#include "PrintKit/support/Text.h"

#include <nlohmann/json.hpp>
#include <string_view>

namespace PrintKit {

std::string ICCProfileInfo::fileStem() const {
    std::string_view name = path;
    while (name.size() > 1 && name.back() == '/') {
        name.remove_suffix(1);
    }
    if (auto slash = name.find_last_of('/'); slash != std::string_view::npos && name.size() > 1) {
        name.remove_prefix(slash + 1);
    }
    if (auto dot = name.find_last_of('.'); dot != std::string_view::npos && dot > 0) {
        name = name.substr(0, dot);
    }
    // File names are bytes on this system; the stem is shown and written as text.
    return Text::utf8WithReplacement(name);
}

void to_json(nlohmann::json& json, const ICCProfileInfo& info) {
    json = nlohmann::json{
        {"path", info.path},
        {"description", info.description},
        {"deviceClass", info.deviceClass},
        {"colorSpace", info.colorSpace},
        {"connectionSpace", info.connectionSpace},
        {"version", info.version},
        {"md5", info.md5},
    };
}

void from_json(const nlohmann::json& json, ICCProfileInfo& info) {
    ICCProfileInfo read;
    read.path = json.at("path").get<std::string>();
    read.description = json.at("description").get<std::string>();
    read.deviceClass = json.at("deviceClass").get<std::string>();
    read.colorSpace = json.at("colorSpace").get<std::string>();
    read.connectionSpace = json.at("connectionSpace").get<std::string>();
    read.version = json.at("version").get<std::string>();
    read.md5 = json.at("md5").get<std::string>();
    info = std::move(read);
}

} // namespace PrintKit
