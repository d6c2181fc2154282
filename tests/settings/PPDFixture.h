// The model the synthetic printer description in tests/fixtures/ppd parses to (written out by hand in
// qx-p900.json), and small builders for tests that make their own files.
#pragma once

#include "PrintKit/settings/PPDFile.h"
#include "PrintKit/settings/PaperRecipe.h"
#include "PrintKit/settings/PrintOption.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace PPDFixture {

// The fixture file and its bytes.
std::string path();
std::string bytes();

// What the fixture reads as with the translation languages {"ko"}; withJapanese adds the "ja" lines.
PrintKit::PPDFile expectedModel(bool withJapanese = false);

// Compares whole models; on a difference the JSON forms are shown side by side to find it.
void expectSameModel(const PrintKit::PPDFile& actual, const PrintKit::PPDFile& expected);

// The fixture read as the application reads a queue's file (translations for "ko").
PrintKit::PPDFile load();

// A recipe for the fixture's queue with the fields the driver options depend on.
PrintKit::PaperRecipe recipe(std::string media, std::string sheet, std::string source,
                             PrintKit::PrintQuality quality, PrintKit::InkMode ink = PrintKit::InkMode::color,
                             PrintKit::ColorManagement color = PrintKit::ColorManagement::driver(),
                             std::optional<PrintKit::CustomSheetSize> customSheet = std::nullopt,
                             std::map<std::string, std::string> driverOverrides = {});

// Application-managed colour with a made-up profile (the options only ask who manages colour).
PrintKit::ColorManagement appColor();

// An option list as "key=value" words in their order, so that a golden list reads on a few lines.
std::string listed(const std::vector<PrintKit::PrintOption>& options);

// For the lifetime of the object, the driver's machine folder is the given one (by default the fixture
// folder with the data of the fixture's model) and the preset cache starts empty.
class MachineFolder {
public:
    MachineFolder();
    explicit MachineFolder(const std::filesystem::path& folder);
    ~MachineFolder();
    MachineFolder(const MachineFolder&) = delete;
    MachineFolder& operator=(const MachineFolder&) = delete;

private:
    std::filesystem::path original_;
};

} // namespace PPDFixture
