// How the model's choices are written into the user defaults: the dotted keys, the texts of the layout
// choices, numbers in a form no locale changes, and the grid as a small JSON object written as all stored
// JSON of the program is (keys sorted, indented, with its schema number). Reading is forgiving: a missing
// or damaged value, or one from a newer build, gives nothing, and the model keeps its default for it.
#pragma once

#include "QuilmPrint/model/ModelRecords.h"

#include <QSettings>
#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace QuilmPrint::ModelSettings {

inline constexpr const char* printer = "printer";
inline constexpr const char* layoutMode = "layout.mode";
inline constexpr const char* layoutCanvas = "layout.canvas";
inline constexpr const char* layoutPerSheet = "layout.perSheet";
inline constexpr const char* layoutGrid = "layout.grid";
inline constexpr const char* exactWidthMM = "layout.exactWidthMM";
inline constexpr const char* exactHeightMM = "layout.exactHeightMM";
inline constexpr const char* exactTurnsToPhoto = "layout.exactTurnsToPhoto";
inline constexpr const char* marginMM = "layout.marginMM";

// "recipe." + queue (the chosen stored recipe's id) and "workingRecipe." + queue (the recipe as edited).
QString chosenRecipeKey(const std::string& queue);
QString workingRecipeKey(const std::string& queue);
// "bleed.expansion." + queue + "." + page size name.
QString bleedExpansionKey(const std::string& queue, const std::string& page);

void writeNumber(QSettings& settings, const QString& key, double value);
std::optional<double> readNumber(const QSettings& settings, const QString& key);
std::optional<bool> readBool(const QSettings& settings, const QString& key);
std::optional<std::string> readText(const QSettings& settings, const QString& key);

QString name(LayoutMode mode);
QString name(CanvasOrientation orientation);
QString name(PhotosPerSheet perSheet);
std::optional<LayoutMode> layoutModeNamed(const QString& name);
std::optional<CanvasOrientation> canvasNamed(const QString& name);
std::optional<PhotosPerSheet> perSheetNamed(const QString& name);

// The form of "layout.grid" this build writes; older values carry no number and read as this form.
inline constexpr int gridSchemaVersion = 1;

// Keys sorted, indented, "schemaVersion" among them; a number that is not finite is written as null and
// read back as the default.
std::string gridJSON(const GridSettings& grid);
// Every member that is missing or of the wrong type keeps the default; none when the text is no object or
// its "schemaVersion" is no integer or newer than this build's.
std::optional<GridSettings> gridFromJSON(std::string_view text);

} // namespace QuilmPrint::ModelSettings
