#include "PrintKit/settings/ICCProfileCatalog.h"

#include "PrintKit/support/Folders.h"

#include "PrintKit/settings/ICCProfileReader.h"
#include "PrintKit/support/Text.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <sys/stat.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <utility>

namespace PrintKit::ICCProfileCatalog {

namespace fs = std::filesystem;

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

bool isHidden(const fs::directory_entry& entry) {
    const std::string name = entry.path().filename().string();
    if (!name.empty() && name.front() == '.') {
        return true;
    }
#if defined(__APPLE__)
    struct stat info {};
    if (::lstat(entry.path().c_str(), &info) == 0 && (info.st_flags & UF_HIDDEN)) {
        return true;
    }
#endif
    return false;
}

bool hasProfileExtension(const fs::path& path) {
    const std::string name = path.filename().string();
    const auto dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0) {
        return false;
    }
    std::string extension = name.substr(dot + 1);
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return extension == "icc" || extension == "icm";
}

// Code-point order after canonical composition, which UTF-8 byte order gives once the text is composed.
// A name that is not UTF-8 sorts by its bytes.
std::string sortKey(const std::string& path) {
    if (!Text::isValidUtf8(path)) {
        return path;
    }
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) {
        return path;
    }
    icu::UnicodeString composed = nfc->normalize(
        icu::UnicodeString::fromUTF8(icu::StringPiece(path.data(), static_cast<int32_t>(path.size()))),
        status);
    if (U_FAILURE(status)) {
        return path;
    }
    std::string key;
    composed.toUTF8String(key);
    return key;
}

} // namespace

std::vector<fs::path> standardDirectories() {
#if defined(__APPLE__)
    std::vector<fs::path> folders;
    if (fs::path home = Folders::home(); !home.empty()) {
        folders.push_back(home / "Library/ColorSync/Profiles");
    }
    folders.emplace_back("/Library/ColorSync/Profiles");
    return folders;
#else
    // The user's own folders first.
    std::vector<fs::path> folders;
    const fs::path home = Folders::home();
    if (fs::path data = Folders::userData(); !data.empty() && data.is_absolute()) {
        folders.push_back(data / "icc");
    }
    if (!home.empty()) {
        folders.push_back(home / ".color/icc");
    }
    folders.emplace_back("/usr/local/share/color/icc");
    folders.emplace_back("/usr/share/color/icc");
    folders.emplace_back("/var/lib/colord/icc");
    return folders;
#endif
}

std::vector<fs::path> profileFiles(const fs::path& folder) {
    std::vector<fs::path> found;
    std::vector<fs::path> pending{folder};
    while (!pending.empty()) {
        const fs::path current = std::move(pending.back());
        pending.pop_back();
        std::error_code error;
        fs::directory_iterator items(current, error);
        if (error) {
            continue;
        }
        for (; items != fs::directory_iterator(); items.increment(error)) {
            const fs::directory_entry& entry = *items;
            if (isHidden(entry)) {
                continue;
            }
            if (hasProfileExtension(entry.path())) {
                found.push_back(entry.path());
            }
            std::error_code statusError;
            if (entry.symlink_status(statusError).type() == fs::file_type::directory && !statusError) {
                pending.push_back(entry.path());
            }
        }
    }
    std::vector<std::pair<std::string, fs::path>> keyed;
    keyed.reserve(found.size());
    for (auto& path : found) {
        keyed.emplace_back(sortKey(path.string()), std::move(path));
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<fs::path> sorted;
    sorted.reserve(keyed.size());
    for (auto& item : keyed) {
        sorted.push_back(std::move(item.second));
    }
    return sorted;
}

std::vector<ICCProfileInfo> printerProfiles(const std::vector<fs::path>& directories,
                                            const std::vector<std::string>& extraPaths) {
    std::vector<fs::path> candidates;
    for (const auto& folder : directories) {
        auto files = profileFiles(folder);
        candidates.insert(candidates.end(), files.begin(), files.end());
    }
    for (const auto& text : extraPaths) {
        std::error_code error;
        fs::path absolute = fs::absolute(fs::path(text), error);
        candidates.push_back(error ? fs::path(text) : absolute);
    }
    std::set<std::string> seen;
    std::vector<ICCProfileInfo> profiles;
    for (const auto& candidate : candidates) {
        auto info = ICCProfileReader::read(candidate, true);
        if (!info || !seen.insert(info->md5).second) {
            continue;
        }
        profiles.push_back(std::move(*info));
    }
    return profiles;
}

std::vector<std::string> ppdProfilePaths(const PPDFile& ppd) {
    std::string data = environment("CUPS_DATADIR");
    if (data.empty()) {
        data = "/usr/share/cups";
    }
    std::vector<std::string> paths;
    paths.reserve(ppd.colorProfiles.size());
    for (const auto& profile : ppd.colorProfiles) {
        if (!profile.path.empty() && profile.path.front() == '/') {
            paths.push_back(profile.path);
        } else {
            paths.push_back(data + "/profiles/" + profile.path);
        }
    }
    return paths;
}

} // namespace PrintKit::ICCProfileCatalog
