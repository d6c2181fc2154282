#include "QuilmPrint/model/CustomPapers.h"

#include "PrintKit/support/Numbers.h"
#include "PrintKit/support/Text.h"

#include <cmath>
#include <map>
#include <optional>
#include <string>

namespace QuilmPrint::CustomPapers {

namespace {

struct Group {
    std::map<std::string, std::string, std::less<>> values; // a key given twice keeps its last value
    bool damaged = false;
};

// A value as GLib's key files escape it: \s, \n, \t, \r and \\; any other escape makes the value unreadable.
std::optional<std::string> unescaped(std::string_view raw) {
    std::string text;
    for (std::size_t at = 0; at < raw.size(); ++at) {
        if (raw[at] != '\\') {
            text += raw[at];
            continue;
        }
        if (++at == raw.size()) {
            return std::nullopt;
        }
        switch (raw[at]) {
        case 's':
            text += ' ';
            break;
        case 'n':
            text += '\n';
            break;
        case 't':
            text += '\t';
            break;
        case 'r':
            text += '\r';
            break;
        case '\\':
            text += '\\';
            break;
        default:
            return std::nullopt;
        }
    }
    return text;
}

std::optional<double> millimetres(const Group& group, std::string_view key) {
    auto found = group.values.find(key);
    if (found == group.values.end()) {
        return std::nullopt;
    }
    return PrintKit::Numbers::parseDouble(PrintKit::Text::trimmedSpacesAndTabs(found->second));
}

std::optional<std::string> name(const Group& group) {
    for (std::string_view key : {"DisplayName", "Name", "PPDName"}) {
        auto found = group.values.find(key);
        if (found == group.values.end()) {
            continue;
        }
        std::optional<std::string> text = unescaped(found->second);
        if (!text || text->empty() || !PrintKit::Text::isValidUtf8(*text)) {
            return std::nullopt;
        }
        return text;
    }
    return std::nullopt;
}

std::optional<SavedCustomPaper> paperOf(const Group& group) {
    if (group.damaged) {
        return std::nullopt;
    }
    const std::optional<std::string> title = name(group);
    const std::optional<double> width = millimetres(group, "Width"), height = millimetres(group, "Height");
    const std::optional<double> top = millimetres(group, "MarginTop"),
                                bottom = millimetres(group, "MarginBottom"),
                                left = millimetres(group, "MarginLeft"),
                                right = millimetres(group, "MarginRight");
    if (!title || !width || !height || !top || !bottom || !left || !right || *width <= 0 || *height <= 0) {
        return std::nullopt;
    }
    SavedCustomPaper paper;
    paper.name = QString::fromStdString(*title);
    paper.size = PrintKit::CustomSheetSize::fromMillimetres(*width, *height);
    const auto points = [](double mm) { return mm * 72.0 / 25.4; };
    paper.margins = PrintKit::Margins{points(*top), points(*left), points(*bottom), points(*right)};
    return paper;
}

} // namespace

std::filesystem::path file(const std::filesystem::path& configFolder) {
    return configFolder / "gtk-3.0" / "custom-papers";
}

std::vector<SavedCustomPaper> parse(std::string_view text) {
    std::vector<std::string> order;
    std::map<std::string, Group> groups;
    Group* current = nullptr;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        line = PrintKit::Text::trimmedSpacesAndTabs(line);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            const std::size_t close = line.rfind(']');
            const std::string_view groupName =
                close == std::string_view::npos ? std::string_view{} : line.substr(1, close - 1);
            if (groupName.empty() || close != line.size() - 1 ||
                groupName.find_first_of("[]") != std::string_view::npos) {
                if (current) {
                    current->damaged = true; // what follows cannot be told apart from this group's keys
                }
                continue;
            }
            auto [found, added] = groups.try_emplace(std::string(groupName));
            if (added) {
                order.emplace_back(groupName);
            }
            current = &found->second; // a group named twice is one group, as GLib reads it
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!current) {
            continue; // keys before the first group belong to no paper
        }
        if (equals == std::string_view::npos || equals == 0) {
            current->damaged = true;
            continue;
        }
        const std::string_view key = PrintKit::Text::trimmedSpacesAndTabs(line.substr(0, equals));
        current->values.insert_or_assign(
            std::string(key), std::string(PrintKit::Text::trimmedSpacesAndTabs(line.substr(equals + 1))));
    }
    std::vector<SavedCustomPaper> papers;
    for (const std::string& groupName : order) {
        if (std::optional<SavedCustomPaper> paper = paperOf(groups[groupName])) {
            papers.push_back(std::move(*paper));
        }
    }
    return papers;
}

} // namespace QuilmPrint::CustomPapers
