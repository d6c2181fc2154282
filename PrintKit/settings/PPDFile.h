// The in-memory form of a printer's PPD file: plain value records that the parser fills once per queue and
// everything else only reads.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace PrintKit {

using LocalizedLabels = std::map<std::string, std::string>; // language code → label

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
    std::map<std::string, std::string> settings;
    std::optional<std::string> quality;
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

    friend bool operator==(const PPDFile&, const PPDFile&) = default;
};

} // namespace PrintKit
