#include "PrintKit/settings/PPDParser.h"

#include "PrintKit/support/FileIO.h"
#include "PrintKit/support/Numbers.h"
#include "PrintKit/support/Text.h"

#include <limits>

namespace PrintKit {

std::string errorMessage(PPDErrorCode code, const std::string& detail) {
    switch (code) {
    case PPDErrorCode::unreadable:
        return "PPD 파일을 읽지 못했습니다: " + detail;
    case PPDErrorCode::notAPPD:
        return "PPD 파일이 아닙니다: " + detail;
    }
    return detail;
}

namespace {

// A queue's file is larger than any real PPD long before this; the limit only keeps a stray huge file
// from being read into memory.
constexpr std::uint64_t maximumFileSize = 64u << 20;

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return c - 'a' + 10;
}

bool isAsciiLower(char c) {
    return c >= 'a' && c <= 'z';
}
bool isAsciiLetter(char c) {
    return isAsciiLower(c) || (c >= 'A' && c <= 'Z');
}

} // namespace

PPDParser::PPDParser(std::optional<LanguageSet> languages) : languages_(std::move(languages)) {}

std::vector<std::string> PPDParser::lines(std::string_view bytes) {
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start < bytes.size()) {
        auto end = bytes.find('\n', start);
        auto stop = end == std::string_view::npos ? bytes.size() : end;
        auto line = bytes.substr(start, stop - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        result.push_back(decodeLine(line));
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    return result;
}

std::string PPDParser::decodeLine(std::string_view bytes) {
    return Text::utf8OrLatin1(bytes);
}

bool PPDParser::hasOpenQuote(std::string_view line) {
    auto colon = line.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    auto rest = line.substr(colon + 1);
    auto first = rest.find_first_not_of(" \t");
    if (first == std::string_view::npos || rest[first] != '"') {
        return false;
    }
    return rest.find('"', first + 1) == std::string_view::npos;
}

std::optional<std::string> PPDParser::hexBytes(std::string_view candidate) {
    std::string digits;
    digits.reserve(candidate.size());
    for (char c : candidate) {
        if (c == ' ') {
            continue;
        }
        if (!isHexDigit(c)) {
            return std::nullopt;
        }
        digits.push_back(c);
    }
    if (digits.empty() || digits.size() % 2 != 0) {
        return std::nullopt;
    }
    std::string bytes;
    bytes.reserve(digits.size() / 2);
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        bytes.push_back(static_cast<char>(hexValue(digits[i]) * 16 + hexValue(digits[i + 1])));
    }
    return bytes;
}

std::string PPDParser::decodeHex(std::string_view translation) {
    if (translation.find('<') == std::string_view::npos) {
        return std::string(translation);
    }
    std::string bytes;
    bytes.reserve(translation.size());
    std::size_t at = 0;
    while (at < translation.size()) {
        char c = translation[at];
        if (c == '<') {
            auto close = translation.find('>', at + 1);
            if (close != std::string_view::npos) {
                // A candidate that holds another "<" is not hex, so the check stops at that "<" and the
                // scan resumes there: the whole translation is walked a bounded number of times.
                if (auto decoded = hexBytes(translation.substr(at + 1, close - at - 1))) {
                    bytes += *decoded;
                    at = close + 1;
                    continue;
                }
            }
        }
        bytes.push_back(c);
        ++at;
    }
    return Text::utf8OrLatin1(bytes);
}

bool PPDParser::isLanguageCode(std::string_view candidate) {
    auto underscore = candidate.find('_');
    auto first = candidate.substr(0, underscore);
    if (first.size() < 2 || first.size() > 3) {
        return false;
    }
    for (char c : first) {
        if (!isAsciiLower(c)) {
            return false;
        }
    }
    if (underscore == std::string_view::npos) {
        return true;
    }
    auto second = candidate.substr(underscore + 1);
    if (second.size() < 2 || second.size() > 4) {
        return false; // also refuses a third part: its underscore is no letter
    }
    for (char c : second) {
        if (!isAsciiLetter(c)) {
            return false;
        }
    }
    return true;
}

std::vector<double> PPDParser::numbers(std::string_view value) {
    // Only finite numbers count: "nan" or "inf" must never become a page dimension.
    return Numbers::parseList(value, " \t");
}

void PPDParser::parse(std::string_view bytes, const std::string& source) {
    auto all = lines(bytes);
    std::size_t firstLine = 0;
    while (firstLine < all.size() && all[firstLine].empty()) {
        ++firstLine;
    }
    if (firstLine == all.size() || !all[firstLine].starts_with("*PPD-Adobe")) {
        throw PPDError(PPDErrorCode::notAPPD, source);
    }
    for (std::size_t i = 0; i < all.size(); ++i) {
        const std::string& line = all[i];
        if (!line.starts_with('*') || line.starts_with("*%") || line == "*End") {
            continue;
        }
        if (!hasOpenQuote(line)) {
            handle(line);
            continue;
        }
        std::string gathered = line;
        while (i + 1 < all.size()) {
            ++i;
            gathered += '\n';
            gathered += all[i];
            if (all[i].find('"') != std::string::npos) {
                break;
            }
        }
        handle(gathered);
    }
}

void PPDParser::handle(std::string_view logicalLine) {
    auto text = logicalLine.substr(1); // the leading asterisk
    auto colon = text.find(':');
    auto keyPart = colon == std::string_view::npos ? text : text.substr(0, colon);
    auto value =
        colon == std::string_view::npos ? std::string_view{} : Text::trimmedSpacesAndTabs(text.substr(colon + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
    }

    auto keywordEnd = keyPart.find_first_of(" \t");
    auto keyword = keyPart.substr(0, keywordEnd);
    auto optionPart = keywordEnd == std::string_view::npos ? std::string_view{}
                                                           : Text::trimmedSpacesAndTabs(keyPart.substr(keywordEnd));
    std::string optionKeyword;
    std::optional<std::string> translation;
    if (auto slash = optionPart.find('/'); slash != std::string_view::npos) {
        optionKeyword = std::string(Text::trimmedSpacesAndTabs(optionPart.substr(0, slash)));
        translation = decodeHex(Text::trimmedSpacesAndTabs(optionPart.substr(slash + 1)));
    } else {
        optionKeyword = std::string(optionPart);
    }

    if (auto dot = keyword.find('.');
        dot != std::string_view::npos && isLanguageCode(keyword.substr(0, dot))) {
        std::string language(keyword.substr(0, dot));
        auto base = keyword.substr(dot + 1);
        if ((languages_ && !languages_->contains(language)) || !translation) {
            return;
        }
        if (base == "Translation") {
            optionTranslations_.push_back({optionKeyword, std::move(language), std::move(*translation)});
        } else if (!optionKeyword.empty()) {
            choiceTranslations_.push_back(
                {std::string(base), optionKeyword, std::move(language), std::move(*translation)});
        }
        return;
    }
    handleKeyword(std::string(keyword), optionKeyword, translation, std::string(value));
}

void PPDParser::handleKeyword(const std::string& keyword, const std::string& optionKeyword,
                              const std::optional<std::string>& translation, const std::string& value) {
    if (keyword == "OpenUI" || keyword == "JCLOpenUI") {
        std::string name = optionKeyword.starts_with('*') ? optionKeyword.substr(1) : optionKeyword;
        if (optionIndex_.contains(name)) {
            return; // the first definition stays
        }
        optionIndex_.emplace(name, ppd_.options.size());
        choiceKeys_.emplace_back();
        PPDOption option;
        option.label = translation.value_or(name);
        option.keyword = std::move(name);
        option.uiType = value;
        option.group = group_;
        ppd_.options.push_back(std::move(option));
    } else if (keyword == "CloseUI" || keyword == "JCLCloseUI") {
        // Options stay open: a later choice line for the keyword still belongs to it.
    } else if (keyword == "OpenGroup") {
        group_ = value.substr(0, value.find('/'));
    } else if (keyword == "CloseGroup") {
        group_.reset();
    } else if (keyword == "OrderDependency") {
        auto words = Text::spaceSeparatedWords(value);
        if (words.size() < 3) {
            return;
        }
        auto order = Numbers::parseDouble(words[0]);
        if (!order) {
            return;
        }
        auto name = words[2];
        while (name.starts_with('*')) {
            name.remove_prefix(1);
        }
        orders_.insert_or_assign(std::string(name), *order);
    } else if (keyword == "PaperDimension") {
        auto found = numbers(value);
        if (found.size() == 2) {
            dimensions_.insert_or_assign(optionKeyword, Size{found[0], found[1]});
        }
    } else if (keyword == "ImageableArea") {
        auto found = numbers(value);
        if (found.size() == 4) {
            imageableAreas_.insert_or_assign(optionKeyword, std::move(found));
        }
    } else if (keyword == "ParamCustomPageSize") {
        auto found = numbers(value);
        if (found.size() != 3) {
            return;
        }
        if (optionKeyword == "Width") {
            customWidth_ = std::pair(found[1], found[2]);
        } else if (optionKeyword == "Height") {
            customHeight_ = std::pair(found[1], found[2]);
        }
    } else if (keyword == "APPrinterPreset") {
        ppd_.presets.push_back(
            PPDPreset::fromBody(optionKeyword, translation.value_or(optionKeyword), value));
    } else if (keyword == "cupsICCProfile") {
        ppd_.colorProfiles.push_back({optionKeyword, translation.value_or(optionKeyword), value});
    } else if (keyword == "cupsFilter" || keyword == "cupsFilter2") {
        ppd_.filters.push_back(value);
    } else if (keyword == "cupsPreFilter") {
        ppd_.preFilters.push_back(value);
    } else if (keyword == "Manufacturer" || keyword == "ModelName" || keyword == "NickName") {
        std::string& field = keyword == "Manufacturer" ? ppd_.manufacturer
                             : keyword == "ModelName"  ? ppd_.modelName
                                                       : ppd_.nickName;
        if (field.empty()) {
            field = value;
        }
    } else if (optionKeyword.empty()) {
        if (keyword.size() >= 8 && keyword.starts_with("Default")) {
            defaults_.insert_or_assign(keyword.substr(7), value);
        } else {
            ppd_.attributes.emplace(keyword, value); // the first value stays
        }
    } else if (auto known = optionIndex_.find(keyword); known != optionIndex_.end()) {
        if (choiceKeys_[known->second].insert(optionKeyword).second) {
            ppd_.options[known->second].choices.push_back(
                {optionKeyword, translation.value_or(optionKeyword), {}});
        }
    }
}

PPDFile PPDParser::finish() {
    for (const auto& [name, choice] : defaults_) {
        if (auto known = optionIndex_.find(name); known != optionIndex_.end()) {
            ppd_.options[known->second].defaultChoice = choice;
        }
    }
    for (const auto& [name, order] : orders_) {
        if (auto known = optionIndex_.find(name); known != optionIndex_.end()) {
            ppd_.options[known->second].order = order;
        }
    }
    for (const auto& entry : optionTranslations_) {
        if (auto known = optionIndex_.find(entry.option); known != optionIndex_.end()) {
            ppd_.options[known->second].localizedLabels.insert_or_assign(entry.language, entry.label);
        }
    }
    // Choice positions are looked up once per option that has translations, not once per translation.
    std::unordered_map<std::size_t, std::unordered_map<std::string, std::size_t>> choicePositions;
    for (const auto& entry : choiceTranslations_) {
        auto known = optionIndex_.find(entry.option);
        if (known == optionIndex_.end()) {
            continue;
        }
        auto& option = ppd_.options[known->second];
        auto [positions, made] = choicePositions.try_emplace(known->second);
        if (made) {
            for (std::size_t i = 0; i < option.choices.size(); ++i) {
                positions->second.try_emplace(option.choices[i].key, i);
            }
        }
        if (auto choice = positions->second.find(entry.choice); choice != positions->second.end()) {
            option.choices[choice->second].localizedLabels.insert_or_assign(entry.language, entry.label);
        }
    }
    if (auto pageSize = optionIndex_.find("PageSize"); pageSize != optionIndex_.end()) {
        for (const auto& choice : ppd_.options[pageSize->second].choices) {
            auto size = dimensions_.find(choice.key);
            if (size == dimensions_.end()) {
                continue;
            }
            std::optional<std::vector<double>> area;
            if (auto found = imageableAreas_.find(choice.key); found != imageableAreas_.end()) {
                area = found->second;
            }
            ppd_.pageSizes.push_back({choice.key, choice.label, choice.localizedLabels, size->second.width,
                                      size->second.height, area});
        }
    }
    if (customWidth_ && customHeight_) {
        ppd_.customSizeRange = PPDCustomSizeRange{customWidth_->first, customWidth_->second,
                                                  customHeight_->first, customHeight_->second};
    }
    return std::move(ppd_);
}

const std::filesystem::path& PPDFile::systemDirectory() {
    static const std::filesystem::path directory("/etc/cups/ppd");
    return directory;
}

std::filesystem::path PPDFile::urlForQueue(std::string_view queue, const std::filesystem::path& directory) {
    return directory / (std::string(queue) + ".ppd");
}

PPDFile PPDFile::parse(std::string_view bytes, const std::string& source,
                       const std::optional<LanguageSet>& languages) {
    PPDParser parser(languages);
    parser.parse(bytes, source);
    return parser.finish();
}

PPDFile PPDFile::load(const std::filesystem::path& path, const std::optional<LanguageSet>& languages) {
    std::string bytes;
    try {
        bytes = FileIO::readFile(path, maximumFileSize);
    } catch (const std::exception&) {
        throw PPDError(PPDErrorCode::unreadable, path.string());
    }
    return parse(bytes, path.string(), languages);
}

PPDFile PPDFile::loadQueue(std::string_view queue, const std::optional<LanguageSet>& languages,
                           const std::filesystem::path& directory) {
    // The name becomes a path component: anything that could name another folder is no queue of ours.
    if (queue.empty() || queue == "." || queue == ".." || queue.find('/') != std::string_view::npos ||
        queue.find('\0') != std::string_view::npos) {
        throw PPDError(PPDErrorCode::unreadable, urlForQueue(queue, directory).string());
    }
    return load(urlForQueue(queue, directory), languages);
}

} // namespace PrintKit
