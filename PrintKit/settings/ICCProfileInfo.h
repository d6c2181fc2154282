// What the engine knows of one ICC profile file: where it is, what it calls itself, the header fields that
// matter for choosing it, and its identity (the MD5 of its bytes).
#pragma once

#include <cstddef>
#include <functional>
#include <nlohmann/json_fwd.hpp>
#include <string>

namespace PrintKit {

struct ICCProfileInfo {
    std::string path;            // exactly as the caller gave it
    std::string description;     // the profile's own description, else the file stem
    std::string deviceClass;     // header bytes 12..15, e.g. "prtr"
    std::string colorSpace;      // header bytes 16..19, e.g. "RGB "
    std::string connectionSpace; // header bytes 20..23
    std::string version;         // "major.minor"
    std::string md5;             // 32 lower-case hexadecimal digits of the whole file

    // The last path component, extension kept.
    std::string fileName() const {
        auto slash = path.find_last_of('/');
        return slash == std::string::npos ? path : path.substr(slash + 1);
    }
    // The last path component without its extension (a leading dot starts no extension), as text: what
    // names a profile that has no description of its own.
    std::string fileStem() const;
    bool isRGBPrinterProfile() const { return deviceClass == "prtr" && colorSpace == "RGB "; }

    friend bool operator==(const ICCProfileInfo&, const ICCProfileInfo&) = default;
};

// The keyed JSON form: the seven field names as keys, all required, unknown keys ignored. Reading passes on
// the JSON library's own errors (a missing key, a value that is not text) unchanged.
void to_json(nlohmann::json& json, const ICCProfileInfo& info);
void from_json(const nlohmann::json& json, ICCProfileInfo& info);

} // namespace PrintKit

template <>
struct std::hash<PrintKit::ICCProfileInfo> {
    std::size_t operator()(const PrintKit::ICCProfileInfo& info) const noexcept {
        std::size_t seed = 0;
        for (const std::string* field : {&info.path, &info.description, &info.deviceClass, &info.colorSpace,
                                         &info.connectionSpace, &info.version, &info.md5}) {
            seed ^= std::hash<std::string>{}(*field) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
        }
        return seed;
    }
};
