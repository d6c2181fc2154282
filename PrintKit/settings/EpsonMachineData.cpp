#include "PrintKit/settings/EpsonMachineData.h"

#include "PrintKit/support/FileIO.h"
#include "PrintKit/support/Numbers.h"
#include "PrintKit/support/Text.h"

#include <vector>

namespace PrintKit::EpsonMachineData {

namespace {

constexpr std::string_view rangePrefix = "*EPIJCustomPaperSizeRange:";
constexpr std::string_view presetPrefix = "*EPIJPreset EPIJAutoPreset,";
constexpr std::uint64_t maximumFileSize = 64u << 20;

std::mutex directoryLock;

std::filesystem::path& currentDirectory() {
    static std::filesystem::path directory("/Library/Printers/EPSON/InkjetPrinter2/Machine");
    return directory;
}

std::map<std::string, AutoPresetTable>& cache() {
    static std::map<std::string, AutoPresetTable> tables;
    return tables;
}

// The file's lines as the driver data is read: a line feed separates, except where a carriage return
// stands directly before it. A CR LF pair is one character that separates nothing, so a file with CR LF
// line ends is one long line; this is kept on purpose, as the data files carry plain line feeds.
std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> result;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && !(i > 0 && text[i - 1] == '\r')) {
            result.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    result.push_back(text.substr(start));
    return result;
}

bool isPlainFolderName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

std::optional<std::string> readText(const std::filesystem::path& location) {
    try {
        return Text::utf8WithReplacement(FileIO::readFile(location, maximumFileSize));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

std::filesystem::path machineDirectory() {
    std::lock_guard lock(directoryLock);
    return currentDirectory();
}

std::mutex& cacheLock() {
    static std::mutex lock;
    return lock;
}

std::optional<std::filesystem::path> url(const PPDFile& ppd) {
    auto bundle = ppd.attributes.find("EPIJMachineBundleName");
    if (bundle == ppd.attributes.end() || !isPlainFolderName(bundle->second)) {
        return std::nullopt;
    }
    return machineDirectory() / bundle->second / "Contents" / "Resources" / "PDEData.dat";
}

std::optional<std::string> text(const PPDFile& ppd) {
    auto location = url(ppd);
    return location ? readText(*location) : std::nullopt;
}

std::optional<PPDCustomSizeRange> customSizeRange(std::string_view text) {
    for (auto line : splitLines(text)) {
        if (!line.starts_with(rangePrefix)) {
            continue;
        }
        auto numbers = Numbers::parseList(line, " \"");
        if (numbers.size() != 4) {
            return std::nullopt; // later range lines are not tried
        }
        return PPDCustomSizeRange{numbers[0], numbers[2], numbers[1], numbers[3]};
    }
    return std::nullopt;
}

AutoPresetTable autoPresets(std::string_view text) {
    AutoPresetTable table;
    std::optional<std::pair<std::string, Settings>> open;
    for (auto line : splitLines(text)) {
        if (line.starts_with(presetPrefix)) {
            auto rest = line.substr(presetPrefix.size());
            open.emplace(std::string(rest.substr(0, rest.find('/'))), Settings{});
            continue;
        }
        if (!open) {
            continue;
        }
        std::string unquoted;
        unquoted.reserve(line.size());
        for (char c : line) {
            if (c != '"') {
                unquoted.push_back(c);
            }
        }
        auto words = Text::spaceSeparatedWords(unquoted);
        if (words.size() == 2 && words[0].starts_with("EPIJ_")) {
            open->second.insert_or_assign(std::string(words[0]), std::string(words[1]));
        }
        if (line.ends_with('"')) {
            table.insert_or_assign(std::move(open->first), std::move(open->second));
            open.reset();
        }
    }
    return table;
}

AutoPresetTable autoPresets(const PPDFile& ppd) {
    auto location = url(ppd);
    if (!location) {
        return {};
    }
    std::lock_guard lock(cacheLock());
    auto key = location->string();
    if (auto found = cache().find(key); found != cache().end()) {
        return found->second;
    }
    auto content = readText(*location);
    auto table = content ? autoPresets(*content) : AutoPresetTable{};
    cache().emplace(key, table);
    return table;
}

void setMachineDirectory(std::filesystem::path directory) {
    std::lock_guard lock(directoryLock);
    currentDirectory() = std::move(directory);
}

void clearCache() {
    std::lock_guard lock(cacheLock());
    cache().clear();
}

} // namespace PrintKit::EpsonMachineData
