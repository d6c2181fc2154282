#include "QuilmPrint/model/ModelSettings.h"

#include "PrintKit/support/Numbers.h"

#include <cmath>
#include <cstdint>
#include <nlohmann/json.hpp>

namespace QuilmPrint::ModelSettings {

namespace {

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

} // namespace

QString chosenRecipeKey(const std::string& queue) {
    return QStringLiteral("recipe.") + text(queue);
}

QString workingRecipeKey(const std::string& queue) {
    return QStringLiteral("workingRecipe.") + text(queue);
}

QString bleedExpansionKey(const std::string& queue, const std::string& page) {
    return QStringLiteral("bleed.expansion.") + text(queue) + QLatin1Char('.') + text(page);
}

void writeNumber(QSettings& settings, const QString& key, double value) {
    settings.setValue(key, text(PrintKit::Numbers::shortest(value)));
}

std::optional<double> readNumber(const QSettings& settings, const QString& key) {
    if (!settings.contains(key)) {
        return std::nullopt;
    }
    return PrintKit::Numbers::parseDouble(settings.value(key).toString().trimmed().toStdString());
}

std::optional<bool> readBool(const QSettings& settings, const QString& key) {
    if (!settings.contains(key)) {
        return std::nullopt;
    }
    const QString value = settings.value(key).toString().trimmed().toLower();
    if (value == QLatin1String("true") || value == QLatin1String("1")) {
        return true;
    }
    if (value == QLatin1String("false") || value == QLatin1String("0")) {
        return false;
    }
    return std::nullopt;
}

std::optional<std::string> readText(const QSettings& settings, const QString& key) {
    if (!settings.contains(key)) {
        return std::nullopt;
    }
    return settings.value(key).toString().toStdString();
}

QString name(LayoutMode mode) {
    switch (mode) {
    case LayoutMode::fit:
        return QStringLiteral("fit");
    case LayoutMode::fill:
        return QStringLiteral("fill");
    case LayoutMode::exact:
        return QStringLiteral("exact");
    }
    return {};
}

QString name(CanvasOrientation orientation) {
    switch (orientation) {
    case CanvasOrientation::automatic:
        return QStringLiteral("auto");
    case CanvasOrientation::portrait:
        return QStringLiteral("portrait");
    case CanvasOrientation::landscape:
        return QStringLiteral("landscape");
    }
    return {};
}

QString name(PhotosPerSheet perSheet) {
    return perSheet == PhotosPerSheet::many ? QStringLiteral("many") : QStringLiteral("one");
}

std::optional<LayoutMode> layoutModeNamed(const QString& value) {
    for (LayoutMode mode : {LayoutMode::fit, LayoutMode::fill, LayoutMode::exact}) {
        if (name(mode) == value) {
            return mode;
        }
    }
    return std::nullopt;
}

std::optional<CanvasOrientation> canvasNamed(const QString& value) {
    for (CanvasOrientation orientation :
         {CanvasOrientation::automatic, CanvasOrientation::portrait, CanvasOrientation::landscape}) {
        if (name(orientation) == value) {
            return orientation;
        }
    }
    return std::nullopt;
}

std::optional<PhotosPerSheet> perSheetNamed(const QString& value) {
    for (PhotosPerSheet perSheet : {PhotosPerSheet::one, PhotosPerSheet::many}) {
        if (name(perSheet) == value) {
            return perSheet;
        }
    }
    return std::nullopt;
}

std::string gridJSON(const GridSettings& grid) {
    auto number = [](double value) {
        return std::isfinite(value) ? nlohmann::json(value) : nlohmann::json();
    };
    // nlohmann::json keeps an object's members sorted by key.
    nlohmann::json json = {
        {"schemaVersion", gridSchemaVersion}, {"widthMM", number(grid.widthMM)},
        {"heightMM", number(grid.heightMM)},  {"gapMM", number(grid.gapMM)},
        {"autoTurn", grid.autoTurn},          {"fitsWhole", grid.fitsWhole},
        {"rotatesToFit", grid.rotatesToFit},  {"cutMarks", grid.cutMarks},
        {"captions", grid.captions},          {"repeatsOne", grid.repeatsOne},
    };
    return json.dump(2);
}

std::optional<GridSettings> gridFromJSON(std::string_view text) {
    nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
    if (!json.is_object()) {
        return std::nullopt;
    }
    // Read before anything else: a grid written by a newer build may mean other things by the same members.
    // Builds before the number was written stored the same members, so its absence reads as the first form.
    if (auto version = json.find("schemaVersion"); version != json.end()) {
        if (!version->is_number_integer() || version->get<std::int64_t>() > gridSchemaVersion) {
            return std::nullopt;
        }
    }
    GridSettings grid;
    auto number = [&](const char* key, double& into) {
        auto found = json.find(key);
        if (found != json.end() && found->is_number() && std::isfinite(found->get<double>())) {
            into = found->get<double>();
        }
    };
    auto flag = [&](const char* key, bool& into) {
        auto found = json.find(key);
        if (found != json.end() && found->is_boolean()) {
            into = found->get<bool>();
        }
    };
    number("widthMM", grid.widthMM);
    number("heightMM", grid.heightMM);
    number("gapMM", grid.gapMM);
    flag("autoTurn", grid.autoTurn);
    flag("fitsWhole", grid.fitsWhole);
    flag("rotatesToFit", grid.rotatesToFit);
    flag("cutMarks", grid.cutMarks);
    flag("captions", grid.captions);
    flag("repeatsOne", grid.repeatsOne);
    return grid;
}

} // namespace QuilmPrint::ModelSettings
