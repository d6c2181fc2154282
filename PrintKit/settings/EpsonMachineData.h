// What the Epson driver's per-model data file ("PDEData.dat" in the model's bundle folder) adds to a PPD
// file: the custom paper size range the model really accepts, and the driver's automatic quality presets.
// Nothing here throws: a missing or unreadable file, or a line that does not read, gives no value or an
// empty table, and callers go on from the PPD file alone.
#pragma once

#include "PrintKit/settings/PPDFile.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace PrintKit::EpsonMachineData {

using Settings = std::map<std::string, std::string>;     // driver option keyword → choice key
using AutoPresetTable = std::map<std::string, Settings>; // "media,ink,mode,priority" → settings

// The folder that holds one bundle folder per model: the driver's own folder unless replaced.
std::filesystem::path machineDirectory();

// Guards the process-wide cache of automatic-preset tables.
std::mutex& cacheLock();

// The model's data file: the machine folder, the PPD's "EPIJMachineBundleName", then
// "Contents/Resources/PDEData.dat". None when the attribute is missing or empty, or when it is no plain
// folder name (".", "..", or holding "/" or a NUL byte), so no file outside the machine folder is read.
std::optional<std::filesystem::path> url(const PPDFile& ppd);

// The whole data file as text, invalid UTF-8 replaced by U+FFFD. None when there is no file or it cannot
// be read.
std::optional<std::string> text(const PPDFile& ppd);

// The first "*EPIJCustomPaperSizeRange:" line with exactly four numbers (minimum width, minimum height,
// maximum width, maximum height, in points), separated by spaces and/or double quotes.
std::optional<PPDCustomSizeRange> customSizeRange(std::string_view text);

// The closed "*EPIJPreset EPIJAutoPreset,<name>/…" blocks of the text.
AutoPresetTable autoPresets(std::string_view text);

// The automatic presets of the PPD's data file, read once per file and process and then kept, even when
// the file changes later. Without a data file location: an empty table, and the cache is not touched.
AutoPresetTable autoPresets(const PPDFile& ppd);

// For tests and tools that work on data files of their own: replace the machine folder, and forget every
// cached table (the cache otherwise lives, unrefreshed, for the whole process).
void setMachineDirectory(std::filesystem::path directory);
void clearCache();

} // namespace PrintKit::EpsonMachineData
