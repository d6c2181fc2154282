// The quality side of the Epson adapter: presets, detail options, the printing resolution, and the option
// list of a print job.
#include "PrintKit/settings/EpsonInkjet2Adapter.h"
#include "PrintKit/support/Numbers.h"

#include <memory>
#include <unicode/regex.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

namespace PrintKit::EpsonInkjet2Adapter {

namespace {

constexpr std::string_view standardPresetQuality = "mid";
constexpr std::string_view highPresetQuality = "high";
// The recipe decides these; a preset's values for them never count.
constexpr std::array<std::string_view, 4> keysNotFromPresets{"EPIJ_Medi", "EPIJ_FdSo", "EPIJ_Ink_",
                                                             "EPIJ_IsMedAut"};
constexpr std::string_view printMode = "EPIJ_Mode";
constexpr std::string_view automaticModeLabel = "Automatic";
constexpr std::string_view automaticPriority = "EPIJ_APri";
constexpr std::string_view qualityOption = "EPIJ_Qual";
constexpr std::string_view resolutionOption = "Resolution";
constexpr std::string_view anyMedia = "0";
constexpr double defaultResolution = 720;

std::string_view inkDigit(InkMode ink) {
    return ink == InkMode::advancedBlackAndWhite ? "3" : "1";
}

// The text up to the first character that is not numeric (in Unicode's sense, as the driver's keys are
// read), so "1440x720dpi" gives "1440".
std::string_view leadingNumericRun(std::string_view text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    auto length = static_cast<std::int32_t>(std::min<std::size_t>(text.size(), INT32_MAX));
    std::int32_t at = 0;
    while (at < length) {
        std::int32_t start = at;
        UChar32 c;
        U8_NEXT(bytes, at, length, c);
        if (c < 0 || u_getIntPropertyValue(c, UCHAR_NUMERIC_TYPE) == U_NT_NONE) {
            return text.substr(0, static_cast<std::size_t>(start));
        }
    }
    return text.substr(0, static_cast<std::size_t>(length));
}

// The first "[0-9]+dpi" in a label. The pattern is written so that a match can start only where a run of
// digits starts and never backtracks into it: it finds the same text as the plain pattern, in time linear
// in the label, however long a label a PPD file holds.
std::optional<std::string> firstDpiMatch(const std::string& label) {
    static const std::unique_ptr<icu::RegexPattern> pattern = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::RegexPattern> compiled(
            icu::RegexPattern::compile(icu::UnicodeString::fromUTF8("(?<![0-9])[0-9]++dpi"), 0, status));
        return U_SUCCESS(status) ? std::move(compiled) : nullptr;
    }();
    if (!pattern) {
        return std::nullopt;
    }
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(label);
    std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(text, status));
    if (U_FAILURE(status) || !matcher->find(status) || U_FAILURE(status)) {
        return std::nullopt;
    }
    icu::UnicodeString found = matcher->group(status);
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    std::string match;
    found.toUTF8String(match);
    return match;
}

Settings restrictedToDetails(const Settings& settings) {
    Settings result;
    for (auto key : detailedQualityKeys) {
        if (auto found = settings.find(std::string(key)); found != settings.end()) {
            result.insert(*found);
        }
    }
    return result;
}

} // namespace

Settings advancedQualitySettings(const PPDFile& ppd) {
    if (const PPDOption* mode = ppd.option(printMode)) {
        for (const auto& choice : mode->choices) {
            if (choice.label != automaticModeLabel) {
                return {{std::string(printMode), choice.key}};
            }
        }
    }
    return {};
}

Settings qualitySettings(PrintQuality quality, std::string_view media, const PPDFile& ppd) {
    if (quality == PrintQuality::custom) {
        return advancedQualitySettings(ppd);
    }
    std::string_view wanted = quality == PrintQuality::standard ? standardPresetQuality : highPresetQuality;
    std::vector<const PPDPreset*> candidates;
    for (const auto& preset : ppd.presets) {
        if (preset.quality == wanted) {
            candidates.push_back(&preset);
        }
    }
    if (candidates.empty()) {
        throw DriverAdapterError::noQualityPreset(quality);
    }
    auto mediaOf = [](const PPDPreset* preset) -> const std::string* {
        auto found = preset->settings.find("EPIJ_Medi");
        return found == preset->settings.end() ? nullptr : &found->second;
    };
    const PPDPreset* chosen = nullptr;
    for (const PPDPreset* preset : candidates) {
        const std::string* presetMedia = mediaOf(preset);
        if (!preset->settings.empty() && presetMedia && *presetMedia == media) {
            chosen = preset;
            break;
        }
    }
    if (!chosen) {
        // No preset for this media: take one for no particular media before one meant for any media ("0").
        for (const PPDPreset* preset : candidates) {
            const std::string* presetMedia = mediaOf(preset);
            if (!presetMedia || *presetMedia != anyMedia) {
                chosen = preset;
                break;
            }
        }
    }
    if (!chosen) {
        chosen = candidates.front();
    }
    Settings settings = chosen->settings;
    for (auto key : keysNotFromPresets) {
        settings.erase(std::string(key));
    }
    return settings;
}

std::vector<PrintQuality> supportedQualities(const PPDFile& ppd) {
    auto hasPreset = [&](std::string_view quality) {
        return std::any_of(ppd.presets.begin(), ppd.presets.end(),
                           [&](const PPDPreset& preset) { return preset.quality == quality; });
    };
    std::vector<PrintQuality> result;
    if (hasPreset(standardPresetQuality)) {
        result.push_back(PrintQuality::standard);
    }
    if (hasPreset(highPresetQuality)) {
        result.push_back(PrintQuality::high);
    }
    if (ppd.option(qualityOption)) {
        result.push_back(PrintQuality::custom);
    }
    return result;
}

std::vector<PPDOption> detailedQualityOptions(const PPDFile& ppd) {
    std::vector<PPDOption> result;
    for (auto key : detailedQualityKeys) {
        const PPDOption* option = ppd.option(key);
        if (option && option->choices.size() > 1) {
            result.push_back(*option);
        }
    }
    return result;
}

std::optional<Settings> presetDetails(const PaperRecipe& recipe, const PPDFile& ppd) {
    if (recipe.quality == PrintQuality::custom) {
        return std::nullopt;
    }
    Settings settings;
    try {
        settings = qualitySettings(recipe.quality, recipe.media, ppd);
    } catch (const DriverAdapterError&) {
        return std::nullopt;
    }
    auto mode = settings.find(std::string(printMode));
    const PPDOption* modeOption = ppd.option(printMode);
    const PPDChoice* modeChoice =
        mode != settings.end() && modeOption ? modeOption->choice(mode->second) : nullptr;
    if (!modeChoice || modeChoice->label != automaticModeLabel) {
        return restrictedToDetails(settings);
    }
    // The automatic mode leaves the details to the driver: its machine data says what they will be.
    auto priority = settings.find(std::string(automaticPriority));
    if (priority == settings.end()) {
        return std::nullopt;
    }
    std::string name =
        recipe.media + "," + std::string(inkDigit(recipe.ink)) + "," + mode->second + "," + priority->second;
    auto presets = EpsonMachineData::autoPresets(ppd);
    auto found = presets.find(name);
    if (found == presets.end()) {
        return std::nullopt;
    }
    return restrictedToDetails(found->second);
}

std::optional<std::string> resolutionForQuality(const std::optional<std::string>& qualityKey,
                                                const PPDFile& ppd) {
    const PPDOption* resolutions = ppd.option(resolutionOption);
    const PPDOption* qualities = ppd.option(qualityOption);
    if (!resolutions || resolutions->choices.empty() || !qualityKey || !qualities) {
        return std::nullopt;
    }
    const PPDChoice* quality = qualities->choice(*qualityKey);
    if (!quality) {
        return std::nullopt;
    }
    auto match = firstDpiMatch(quality->label);
    if (!match) {
        return std::nullopt;
    }
    auto target = Numbers::parseInteger(std::string_view(*match).substr(0, match->size() - 3));
    if (!target) {
        return std::nullopt;
    }
    auto valueOf = [](const PPDChoice& choice) -> std::int64_t {
        return Numbers::parseInteger(leadingNumericRun(choice.key)).value_or(0);
    };
    const PPDChoice* best = nullptr;
    std::int64_t bestValue = 0;
    for (const auto& choice : resolutions->choices) {
        std::int64_t value = valueOf(choice);
        if (value <= *target && (!best || value > bestValue)) {
            best = &choice;
            bestValue = value;
        }
    }
    if (!best) {
        for (const auto& choice : resolutions->choices) {
            std::int64_t value = valueOf(choice);
            if (!best || value < bestValue) {
                best = &choice;
                bestValue = value;
            }
        }
    }
    return best->key;
}

double resolution(const std::vector<PrintOption>& options) {
    for (const auto& option : options) {
        if (option.key != resolutionOption) {
            continue;
        }
        // A resolution of zero (or one too large to hold) would leave the renderer without a pixel size.
        auto value = Numbers::parseDouble(leadingNumericRun(option.value));
        return value && *value > 0 ? *value : defaultResolution;
    }
    return defaultResolution;
}

std::vector<PrintOption> options(const PaperRecipe& recipe, const PPDFile& ppd) {
    if (!supports(ppd)) {
        throw DriverAdapterError::unsupportedDriver(ppd.nickName);
    }
    const PPDOption* media = ppd.option("EPIJ_Medi");
    if (!media || !media->choice(recipe.media)) {
        throw DriverAdapterError::unknownMedia(recipe.media);
    }
    PPDPageSize page = pageSize(recipe, ppd);
    Settings settings = qualitySettings(recipe.quality, recipe.media, ppd);

    std::set<std::string, std::less<>> leavingOut;
    if (recipe.customSheet) {
        // The driver's size list has no entry for a custom size; the page size alone carries it.
        leavingOut = {"EPIJ_Size", "PageRegion"};
    } else {
        const PPDOption* pageSizes = ppd.option("PageSize");
        const PPDChoice* sheet = pageSizes ? pageSizes->choice(recipe.sheet) : nullptr;
        const PPDOption* sizes = ppd.option("EPIJ_Size");
        const PPDChoice* size = nullptr;
        if (sheet && sizes) {
            for (const auto& choice : sizes->choices) {
                if (choice.label == sheet->label) {
                    size = &choice;
                    break;
                }
            }
        }
        if (!size) {
            throw DriverAdapterError::sheetNotAvailable(recipe.sheet, recipe.source);
        }
        settings.insert_or_assign("EPIJ_Size", size->key);
    }

    settings.insert_or_assign("EPIJ_Medi", recipe.media);
    settings.insert_or_assign("EPIJ_PSrc", recipe.source);
    settings.insert_or_assign("PageSize", page.name);
    settings.insert_or_assign("EPIJ_IsMedAut", "0");
    settings.insert_or_assign("EPIJ_Ink_", std::string(inkDigit(recipe.ink)));

    if (recipe.quality == PrintQuality::custom) {
        for (const auto& [key, value] : recipe.driverOverrides) {
            settings.insert_or_assign(key, value);
        }
        if (!recipe.driverOverrides.contains(std::string(resolutionOption))) {
            std::optional<std::string> quality;
            if (auto found = settings.find(std::string(qualityOption)); found != settings.end()) {
                quality = found->second;
            }
            if (auto key = resolutionForQuality(quality, ppd)) {
                settings.insert_or_assign(std::string(resolutionOption), *key);
            }
        }
    }

    ColorPolicy policy = recipe.color.isDriver() ? ColorPolicy::driver : ColorPolicy::app;
    return OptionResolver::resolve(ppd, settings, policy, leavingOut);
}

} // namespace PrintKit::EpsonInkjet2Adapter
