// The in-memory form of a printer's PPD file: plain value records that the parser fills once per queue and
// everything else only reads. Nothing here refers back to the file or the parser, so copies may travel
// between threads freely.
#pragma once

#include "PrintKit/settings/PPDError.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace PrintKit {

using LocalizedLabels = std::map<std::string, std::string>; // language code → label
using LanguageSet = std::set<std::string, std::less<>>;

struct PPDChoice {
    std::string key;
    std::string label;
    LocalizedLabels localizedLabels;

    friend bool operator==(const PPDChoice&, const PPDChoice&) = default;
};

struct PPDOption {
    std::string keyword;
    std::string label;
    LocalizedLabels localizedLabels;
    std::string uiType;
    std::optional<std::string> group;
    std::optional<std::string> defaultChoice;
    std::optional<double> order;
    std::vector<PPDChoice> choices;

    // The first choice with exactly this key. The pointer lives as long as this option; lookups on a
    // temporary are refused at compile time so no pointer can outlive its model.
    const PPDChoice* choice(std::string_view key) const&;
    const PPDChoice* choice(std::string_view key) const&& = delete;

    friend bool operator==(const PPDOption&, const PPDOption&) = default;
};

struct PPDPageSize {
    std::string name;
    std::string label;
    LocalizedLabels localizedLabels;
    double width = 0;  // points
    double height = 0; // points
    // Lower-left x, lower-left y, upper-right x, upper-right y in points from the page's lower-left corner.
    std::optional<std::vector<double>> imageableArea;

    friend bool operator==(const PPDPageSize&, const PPDPageSize&) = default;
};

struct PPDColorProfile {
    std::string qualifier;
    std::string label;
    std::string path;
    friend bool operator==(const PPDColorProfile&, const PPDColorProfile&) = default;
};

struct PPDPreset {
    std::string name;
    std::string label;
    std::map<std::string, std::string> settings; // option keyword → choice key
    std::optional<std::string> quality;          // "mid", "high", … from the body

    // Reads the body of a printer-preset entry (its enclosing quotes already removed): "*Keyword value"
    // lines become settings, the preset-quality line becomes the quality, the driver's own bookkeeping
    // lines are passed over.
    static PPDPreset fromBody(std::string name, std::string label, std::string_view body);

    friend bool operator==(const PPDPreset&, const PPDPreset&) = default;
};

struct PPDCustomSizeRange {
    double minWidth = 0;
    double maxWidth = 0;
    double minHeight = 0;
    double maxHeight = 0;
    friend bool operator==(const PPDCustomSizeRange&, const PPDCustomSizeRange&) = default;
};

struct PPDFile {
    std::string manufacturer;
    std::string modelName;
    std::string nickName;
    std::map<std::string, std::string> attributes;
    std::vector<std::string> filters;
    std::vector<std::string> preFilters;
    std::vector<PPDOption> options;
    std::vector<PPDPageSize> pageSizes;
    std::vector<PPDColorProfile> colorProfiles;
    std::vector<PPDPreset> presets;
    std::optional<PPDCustomSizeRange> customSizeRange;

    // Lookups by exact name; the first match wins. As with PPDOption::choice, never on a temporary.
    const PPDOption* option(std::string_view keyword) const&;
    const PPDOption* option(std::string_view keyword) const&& = delete;
    const PPDPageSize* pageSize(std::string_view name) const&;
    const PPDPageSize* pageSize(std::string_view name) const&& = delete;

    // Where CUPS keeps the PPD files of its queues.
    static const std::filesystem::path& systemDirectory();

    // The queue's file: the folder, then the queue name with ".ppd". Does not check that the file exists
    // or that the name is a plain file name; loadQueue does.
    static std::filesystem::path urlForQueue(std::string_view queue,
                                             const std::filesystem::path& directory = systemDirectory());

    // Reads and parses a whole file. Throws PPDError: unreadable (with the path) when the file cannot be
    // read, notAPPD (with the path) when it does not start as a PPD file. languages: the translation
    // languages to keep; absent keeps all.
    static PPDFile load(const std::filesystem::path& path, const std::optional<LanguageSet>& languages);

    // load() for a CUPS queue's file. A queue name that could reach outside the folder (empty, ".", "..",
    // or holding "/" or a NUL byte) is refused as unreadable without touching the file system.
    static PPDFile loadQueue(std::string_view queue, const std::optional<LanguageSet>& languages,
                             const std::filesystem::path& directory = systemDirectory());

    // Parses bytes already in memory; throws only notAPPD (with the source name).
    static PPDFile parse(std::string_view bytes, const std::string& source,
                         const std::optional<LanguageSet>& languages);

    friend bool operator==(const PPDFile&, const PPDFile&) = default;
};

// The label to show for a language: the translation filed under exactly that code (even an empty one),
// otherwise the plain label. A regional code does not fall back to its language.
std::string label(const PPDOption& option, const std::optional<std::string>& language);
std::string label(const PPDChoice& choice, const std::optional<std::string>& language);
std::string label(const PPDPageSize& pageSize, const std::optional<std::string>& language);

// JSON forms: one object per record whose keys are the field names; optional fields are written only when
// present and read as absent when missing; every other key is required and must have the right type.
// Reading throws nlohmann::json exceptions (out_of_range for a missing key, type_error for a wrong type).
void to_json(nlohmann::json& json, const PPDChoice& value);
void from_json(const nlohmann::json& json, PPDChoice& value);
void to_json(nlohmann::json& json, const PPDOption& value);
void from_json(const nlohmann::json& json, PPDOption& value);
void to_json(nlohmann::json& json, const PPDPageSize& value);
void from_json(const nlohmann::json& json, PPDPageSize& value);
void to_json(nlohmann::json& json, const PPDColorProfile& value);
void from_json(const nlohmann::json& json, PPDColorProfile& value);
void to_json(nlohmann::json& json, const PPDPreset& value);
void from_json(const nlohmann::json& json, PPDPreset& value);
void to_json(nlohmann::json& json, const PPDCustomSizeRange& value);
void from_json(const nlohmann::json& json, PPDCustomSizeRange& value);
void to_json(nlohmann::json& json, const PPDFile& value);
void from_json(const nlohmann::json& json, PPDFile& value);

} // namespace PrintKit

// Choices are kept in sets and used as keys: the hash covers key, label and translations, like ==.
template <> struct std::hash<PrintKit::PPDChoice> {
    std::size_t operator()(const PrintKit::PPDChoice& choice) const noexcept;
};
