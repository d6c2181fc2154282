#include "PrintKit/settings/OptionResolver.h"

#include "PrintKit/support/Text.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace PrintKit {

namespace {

std::string unknownChoiceMessage(const std::string& option, const std::string& choice,
                                 const std::vector<std::string>& available) {
    std::string message = option + "에는 " + choice + " 값이 없습니다. 가능한 값: ";
    for (std::size_t i = 0; i < available.size(); ++i) {
        if (i > 0) {
            message += ", ";
        }
        message += available[i];
    }
    return message;
}

constexpr std::string_view colorMatchingMode = "AP_ColorMatchingMode";
constexpr std::string_view applicationMatching = "AP_ApplicationColorMatching";
constexpr std::string_view vendorMatching = "AP_VendorColorMatching";
constexpr std::string_view colorAdjustment = "EPIJ_CMat";

} // namespace

OptionResolverError::OptionResolverError(std::string option, std::string choice,
                                         std::vector<std::string> available)
    : Error(unknownChoiceMessage(option, choice, available)), option_(std::move(option)),
      choice_(std::move(choice)), available_(std::move(available)) {}

namespace OptionResolver {

const std::set<std::string, std::less<>>& hardwareGroups() {
    static const std::set<std::string, std::less<>> groups{"InstallableOptions"};
    return groups;
}

void mirror(Settings& settings, std::string_view source, std::string_view target, const PPDFile& ppd) {
    if (settings.contains(std::string(target))) {
        return;
    }
    auto value = settings.find(std::string(source));
    if (value == settings.end()) {
        return;
    }
    const PPDOption* option = ppd.option(target);
    if (option && option->choice(value->second)) {
        settings.emplace(std::string(target), value->second);
    }
}

void apply(ColorPolicy color, Settings& settings, const PPDFile& ppd) {
    switch (color) {
    case ColorPolicy::app: {
        settings.try_emplace(std::string(colorMatchingMode), applicationMatching);
        if (settings.contains(std::string(colorAdjustment))) {
            return;
        }
        const PPDOption* option = ppd.option(colorAdjustment);
        if (!option) {
            return;
        }
        // The driver's own colour adjustment must be off, or the print is corrected twice.
        for (const auto& choice : option->choices) {
            std::string label = Text::lowercased(choice.label);
            if (label.starts_with("off") || label.find("no color adjustment") != std::string::npos) {
                settings.emplace(std::string(colorAdjustment), choice.key);
                return;
            }
        }
        return;
    }
    case ColorPolicy::driver:
        settings.try_emplace(std::string(colorMatchingMode), vendorMatching);
        return;
    }
}

std::vector<PrintOption> resolve(const PPDFile& ppd, const Settings& wanted, ColorPolicy color,
                                 const std::set<std::string, std::less<>>& leavingOut) {
    Settings settings = wanted;
    mirror(settings, "EPIJ_Medi", "MediaType", ppd);
    mirror(settings, "PageSize", "PageRegion", ppd);
    apply(color, settings, ppd);

    struct Entry {
        double order;
        std::size_t number;
        PrintOption option;
    };
    std::vector<Entry> entries;
    std::set<std::string, std::less<>> consumed;
    for (std::size_t number = 0; number < ppd.options.size(); ++number) {
        const PPDOption& option = ppd.options[number];
        if (hardwareGroups().contains(option.group.value_or(""))) {
            continue;
        }
        consumed.insert(option.keyword);
        if (leavingOut.contains(option.keyword)) {
            continue;
        }
        std::string value;
        if (auto found = settings.find(option.keyword); found != settings.end()) {
            value = found->second;
        } else if (option.defaultChoice) {
            value = *option.defaultChoice;
        } else {
            continue;
        }
        // A custom page size is made by the adapter and is never one of the PPD's choices.
        bool customPage = option.keyword == "PageSize" && value.starts_with("Custom.");
        if (!option.choices.empty() && !customPage && !option.choice(value)) {
            std::vector<std::string> available;
            available.reserve(option.choices.size());
            for (const auto& choice : option.choices) {
                available.push_back(choice.key);
            }
            throw OptionResolverError(option.keyword, value, std::move(available));
        }
        // No order, or one that does not compare (NaN would break the sort), goes after all others.
        double order =
            option.order && !std::isnan(*option.order) ? *option.order : std::numeric_limits<double>::max();
        entries.push_back({order, number, {option.keyword, std::move(value)}});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.order != b.order ? a.order < b.order : a.number < b.number;
    });

    std::vector<PrintOption> result;
    result.reserve(entries.size() + settings.size());
    for (auto& entry : entries) {
        result.push_back(std::move(entry.option));
    }
    // Settings the PPD does not define (or keeps for hardware) still reach the driver, in byte order.
    for (const auto& [key, value] : settings) {
        if (!consumed.contains(key)) {
            result.push_back({key, value});
        }
    }
    return result;
}

} // namespace OptionResolver

} // namespace PrintKit
