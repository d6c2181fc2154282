// Our own reader of PPD files (the Adobe format with its CUPS and macOS additions). It keeps what the print
// road uses: options with choices, labels and translations, defaults, order numbers and groups; page sizes
// with dimensions and imageable areas; the custom page size range; printer presets; ICC profile entries;
// filter lines; names; and every other plain keyword line as a first-seen attribute. One pass collects,
// finish() joins what needs the whole file (defaults, orders, translations, page sizes).
#pragma once

#include "PrintKit/settings/PPDFile.h"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace PrintKit {

class PPDParser {
public:
    // languages: the translation languages to keep; absent keeps every language.
    explicit PPDParser(std::optional<LanguageSet> languages = std::nullopt);

    // Throws PPDError notAPPD(source) when the first non-empty line is not a PPD header; nothing is kept
    // then. Call once per parser.
    void parse(std::string_view bytes, const std::string& source);

    // The finished model; the parser is spent afterwards.
    PPDFile finish();

    // The steps of the reading, exposed for their own tests.

    // Lines cut at line feeds, a carriage return before the feed dropped, each decoded by itself.
    static std::vector<std::string> lines(std::string_view bytes);
    // UTF-8, or ISO Latin-1 when the bytes are not valid UTF-8.
    static std::string decodeLine(std::string_view bytes);
    // Does the line open a quoted value after its first colon that it does not close?
    static bool hasOpenQuote(std::string_view line);
    // Replaces each well-formed "<hex hex …>" run in a translation by the bytes it spells.
    static std::string decodeHex(std::string_view translation);
    // The bytes of one bracketed run (without its brackets): spaces ignored, an even, non-empty count of
    // hex digits; anything else gives no value.
    static std::optional<std::string> hexBytes(std::string_view candidate);
    // "ko", "kor", "zh_TW", "zh_Hant"; not "Ko", "english", "zh_", "a_b_c".
    static bool isLanguageCode(std::string_view candidate);
    // The finite numbers among the space- or tab-separated words of a value.
    static std::vector<double> numbers(std::string_view value);

private:
    void handle(std::string_view logicalLine);
    void handleKeyword(const std::string& keyword, const std::string& optionKeyword,
                       const std::optional<std::string>& translation, const std::string& value);

    struct Size {
        double width;
        double height;
    };
    struct OptionTranslation {
        std::string option;
        std::string language;
        std::string label;
    };
    struct ChoiceTranslation {
        std::string option;
        std::string choice;
        std::string language;
        std::string label;
    };

    std::optional<LanguageSet> languages_;
    PPDFile ppd_;
    std::unordered_map<std::string, std::size_t> optionIndex_;
    std::vector<std::unordered_set<std::string>> choiceKeys_; // per option, parallel to ppd_.options
    std::optional<std::string> group_;
    std::map<std::string, std::string> defaults_;
    std::map<std::string, double> orders_;
    std::unordered_map<std::string, Size> dimensions_;
    std::unordered_map<std::string, std::vector<double>> imageableAreas_;
    std::vector<OptionTranslation> optionTranslations_;
    std::vector<ChoiceTranslation> choiceTranslations_;
    std::optional<std::pair<double, double>> customWidth_;  // minimum, maximum
    std::optional<std::pair<double, double>> customHeight_; // minimum, maximum
};

} // namespace PrintKit
