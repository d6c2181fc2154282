// What the engine knows of one ICC profile file: where it is, what it calls itself, the header fields that
// matter for choosing it, and its identity (the MD5 of its bytes).
#pragma once

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
    bool isRGBPrinterProfile() const { return deviceClass == "prtr" && colorSpace == "RGB "; }

    friend bool operator==(const ICCProfileInfo&, const ICCProfileInfo&) = default;
};

} // namespace PrintKit
