// Drives the engine's test targets, raster measurement and reference cases from files, for the tests and for
// anyone checking the engine by hand (the commands are in `usage` below; PAGE.json holds "name", "width",
// "height" and, if the page has one, "imageableArea"). Not part of the application.
//
// JSON goes to the named file (replaced only once complete) or to standard output. Exit status 0 on
// success, 1 when the engine refuses (its message on standard error), 2 for a wrong command line.
#include "PrintKit/support/FileIO.h"
#include "PrintKit/support/Numbers.h"
#include "PrintKit/targets/ColorGolden.h"
#include "PrintKit/targets/RasterCheck.h"
#include "PrintKit/targets/RasterCheckJSON.h"
#include "PrintKit/targets/ResampleGolden.h"
#include "PrintKit/targets/StrictJSON.h"
#include "PrintKit/targets/TestTarget.h"
#include "PrintKit/targets/TestTargetJSON.h"

#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

using namespace PrintKit;
using nlohmann::json;

namespace {

constexpr const char* usage =
    "usage: quilm-targets target PAGE.json (device|srgb|profile=PATH) OUT.pdf [MANIFEST.json]\n"
    "       quilm-targets patches OUT.tiff PATCH_PIXELS COLUMNS [CELLS.json]\n"
    "       quilm-targets measure RASTER MANIFEST.json [RESULT.json]\n"
    "       quilm-targets color-cases REQUEST.json [ANSWERS.json]\n"
    "       quilm-targets resample-cases REQUEST.json [ANSWERS.json]\n";

struct UsageError {};

// JSON inputs are small; anything larger than this is not one of them.
constexpr std::uint64_t largestInput = 256ull << 20;

std::string input(const std::string& path) {
    return FileIO::readFile(path, largestInput);
}

void output(const std::vector<std::string>& args, std::size_t index, const std::string& bytes) {
    if (index < args.size()) {
        FileIO::writeFileAtomically(args[index], bytes);
    } else if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
               std::fflush(stdout) != 0) {
        throw std::runtime_error("cannot write to standard output");
    }
}

int integerArgument(const std::string& text) {
    auto value = Numbers::parseInteger(text);
    if (!value || *value < INT32_MIN || *value > INT32_MAX) {
        throw UsageError{};
    }
    return static_cast<int>(*value);
}

PPDPageSize page(const json& value) {
    using namespace StrictJSON;
    PPDPageSize size;
    size.name = string(member(value, "name"));
    size.width = number(member(value, "width"));
    size.height = number(member(value, "height"));
    if (value.contains("imageableArea") && !value.at("imageableArea").is_null()) {
        size.imageableArea = numbers(value.at("imageableArea"));
    }
    return size;
}

TestTargetVariant variant(const std::string& text) {
    if (text == "device") {
        return TestTargetVariant::deviceRGB();
    }
    if (text == "srgb") {
        return TestTargetVariant::sRGB();
    }
    constexpr std::string_view prefix = "profile=";
    if (text.size() > prefix.size() && text.compare(0, prefix.size(), prefix) == 0) {
        return TestTargetVariant::profile(text.substr(prefix.size()));
    }
    throw UsageError{};
}

int run(const std::vector<std::string>& args) {
    if (args.empty()) {
        throw UsageError{};
    }
    const std::string& command = args[0];
    if (command == "target" && (args.size() == 4 || args.size() == 5)) {
        const TestTargetManifest manifest =
            TestTarget::render(page(json::parse(input(args[1]))), variant(args[2]), args[3]);
        output(args, 4, TestTargetJSON::encode(manifest).dump(2) + "\n");
        return 0;
    }
    if (command == "patches" && (args.size() == 4 || args.size() == 5)) {
        const auto cells =
            TestTarget::writePatchImage(args[1], integerArgument(args[2]), integerArgument(args[3]));
        json list = json::array();
        for (const PatchCell& cell : cells) {
            list.push_back(json{{"name", cell.name}, {"rgb", cell.rgb}, {"cell", cell.cell}});
        }
        output(args, 4, list.dump(2) + "\n");
        return 0;
    }
    if (command == "measure" && (args.size() == 3 || args.size() == 4)) {
        const TestTargetManifest manifest = TestTargetJSON::decodeManifest(json::parse(input(args[2])));
        const RasterCheckResult result = RasterCheck::measure(args[1], manifest);
        output(args, 3, RasterCheckJSON::encode(result).dump(2) + "\n");
        return 0;
    }
    if (command == "color-cases" && (args.size() == 2 || args.size() == 3)) {
        output(args, 2, ColorGolden::answers(input(args[1])));
        return 0;
    }
    if (command == "resample-cases" && (args.size() == 2 || args.size() == 3)) {
        output(args, 2, ResampleGolden::answers(input(args[1])));
        return 0;
    }
    throw UsageError{};
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return run(args);
    } catch (const UsageError&) {
        std::fputs(usage, stderr);
        return 2;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quilm-targets: %s\n", error.what());
        return 1;
    }
}
