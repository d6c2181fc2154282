#include "PrintKit/settings/PaperRecipe.h"

namespace PrintKit {

PaperRecipe PaperRecipe::make(std::string name, PrinterReference printer, std::string media,
                              std::string sheet, std::optional<CustomSheetSize> customSheet,
                              std::string source, PrintQuality quality, InkMode ink, ColorManagement color,
                              std::optional<OutputSharpening> sharpening,
                              std::map<std::string, std::string> driverOverrides, std::string notes) {
    PaperRecipe recipe;
    recipe.schemaVersion = currentSchemaVersion;
    recipe.id = Uuid::random();
    recipe.version = 1;
    recipe.name = std::move(name);
    recipe.printer = std::move(printer);
    recipe.media = std::move(media);
    recipe.sheet = std::move(sheet);
    recipe.customSheet = customSheet;
    recipe.source = std::move(source);
    recipe.quality = quality;
    recipe.ink = ink;
    recipe.color = std::move(color);
    recipe.sharpening = sharpening;
    recipe.bleedCompensation = std::nullopt;
    recipe.driverOverrides = std::move(driverOverrides);
    recipe.notes = std::move(notes);
    recipe.updatedAt = Dates::now();
    return recipe;
}

namespace {

// Order-dependent mixing (the 64-bit variant of boost's hash_combine), fed field by field in declaration
// order so that the hash covers exactly what equality compares.
class Hasher {
public:
    void add(std::size_t value) { seed_ ^= value + 0x9e3779b97f4a7c15ull + (seed_ << 12) + (seed_ >> 4); }
    void add(std::string_view text) { add(std::hash<std::string_view>{}(text)); }
    void add(std::int64_t value) { add(std::hash<std::int64_t>{}(value)); }
    void add(bool value) { add(static_cast<std::size_t>(value ? 1 : 0)); }
    void add(double value) {
        // 0.0 and -0.0 are equal, so they must hash alike.
        add(std::hash<double>{}(value == 0.0 ? 0.0 : value));
    }
    template <typename E> void addRaw(E value) { add(rawValue(value)); }
    template <typename T, typename Add> void addOptional(const std::optional<T>& value, Add addValue) {
        add(value.has_value());
        if (value) {
            addValue(*value);
        }
    }
    std::size_t result() const { return seed_; }

private:
    std::size_t seed_ = 0;
};

void addPrinter(Hasher& h, const PrinterReference& printer) {
    h.add(std::string_view(printer.queue));
    h.add(std::string_view(printer.model));
}

void addSize(Hasher& h, const CustomSheetSize& size) {
    h.add(size.width);
    h.add(size.height);
}

void addProfile(Hasher& h, const ProfileReference& profile) {
    h.add(std::string_view(profile.path));
    h.add(std::string_view(profile.description));
    h.add(std::string_view(profile.md5));
}

void addColor(Hasher& h, const ColorManagement& color) {
    // The case first, then its payload.
    h.add(std::string_view(color.app ? "app" : "driver"));
    if (color.app) {
        addProfile(h, color.app->profile);
        h.addRaw(color.app->intent);
        h.add(color.app->blackPointCompensation);
    }
}

} // namespace

} // namespace PrintKit

using namespace PrintKit;

std::size_t std::hash<PrinterReference>::operator()(const PrinterReference& printer) const noexcept {
    Hasher h;
    addPrinter(h, printer);
    return h.result();
}

std::size_t std::hash<CustomSheetSize>::operator()(const CustomSheetSize& size) const noexcept {
    Hasher h;
    addSize(h, size);
    return h.result();
}

std::size_t std::hash<ProfileReference>::operator()(const ProfileReference& profile) const noexcept {
    Hasher h;
    addProfile(h, profile);
    return h.result();
}

std::size_t std::hash<ColorManagement>::operator()(const ColorManagement& color) const noexcept {
    Hasher h;
    addColor(h, color);
    return h.result();
}

std::size_t std::hash<PaperRecipe>::operator()(const PaperRecipe& recipe) const noexcept {
    Hasher h;
    h.add(recipe.schemaVersion);
    h.add(std::hash<Uuid>{}(recipe.id));
    h.add(recipe.version);
    h.add(std::string_view(recipe.name));
    addPrinter(h, recipe.printer);
    h.add(std::string_view(recipe.media));
    h.add(std::string_view(recipe.sheet));
    h.addOptional(recipe.customSheet, [&](const CustomSheetSize& size) { addSize(h, size); });
    h.add(std::string_view(recipe.source));
    h.addRaw(recipe.quality);
    h.addRaw(recipe.ink);
    addColor(h, recipe.color);
    h.addOptional(recipe.sharpening, [&](OutputSharpening level) { h.addRaw(level); });
    h.addOptional(recipe.bleedCompensation, [&](bool on) { h.add(on); });
    h.add(static_cast<std::size_t>(recipe.driverOverrides.size()));
    for (const auto& [keyword, choice] : recipe.driverOverrides) {
        h.add(std::string_view(keyword));
        h.add(std::string_view(choice));
    }
    h.add(std::string_view(recipe.notes));
    h.add(static_cast<std::int64_t>(recipe.updatedAt.time_since_epoch().count()));
    return h.result();
}
