// A paper recipe: the named, saved set of print settings for one kind of paper on one printer queue. Every
// record here is a plain value; equality covers every field (the application detects unsaved edits with it)
// and each hash agrees with its equality.
#pragma once

#include "PrintKit/settings/ICCProfileInfo.h"
#include "PrintKit/settings/OutputSharpening.h"
#include "PrintKit/settings/RenderingIntent.h"
#include "PrintKit/support/Dates.h"
#include "PrintKit/support/RawValue.h"
#include "PrintKit/support/Uuid.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace PrintKit {

// The CUPS queue a recipe was made for; the application keys its per-printer settings by `queue` and keeps
// the queue's PPD nickname in `model`.
struct PrinterReference {
    std::string queue;
    std::string model;

    friend bool operator==(const PrinterReference&, const PrinterReference&) = default;
};

// A sheet size in points (1/72 inch). The millimetre conversions multiply first and divide second and never
// round, so 25.4 mm is exactly 72 points while 152.4 mm is 432.00000000000006.
struct CustomSheetSize {
    double width = 0;
    double height = 0;

    static CustomSheetSize fromMillimetres(double widthMM, double heightMM) {
        return {widthMM * 72.0 / 25.4, heightMM * 72.0 / 25.4};
    }
    double widthMM() const { return width * 25.4 / 72.0; }
    double heightMM() const { return height * 25.4 / 72.0; }

    friend bool operator==(const CustomSheetSize&, const CustomSheetSize&) = default;
};

enum class PrintQuality { standard, high, custom };

template <> struct RawValues<PrintQuality> {
    static constexpr std::array<std::pair<PrintQuality, std::string_view>, 3> table{{
        {PrintQuality::standard, "standard"},
        {PrintQuality::high, "high"},
        {PrintQuality::custom, "custom"},
    }};
};

// The Korean name the recipe inspector lists and the driver adapter's errors quote.
constexpr std::string_view label(PrintQuality quality) {
    switch (quality) {
    case PrintQuality::standard:
        return "표준";
    case PrintQuality::high:
        return "고품질";
    case PrintQuality::custom:
        return "직접 지정";
    }
    return {};
}

enum class InkMode { color, advancedBlackAndWhite };

template <> struct RawValues<InkMode> {
    static constexpr std::array<std::pair<InkMode, std::string_view>, 2> table{{
        {InkMode::color, "color"},
        {InkMode::advancedBlackAndWhite, "advancedBlackAndWhite"},
    }};
};

// An ICC profile file as a recipe names it; `md5` (32 lower-case hexadecimal digits) is its identity.
struct ProfileReference {
    std::string path;
    std::string description;
    std::string md5;

    ProfileReference() = default;
    ProfileReference(std::string path, std::string description, std::string md5)
        : path(std::move(path)), description(std::move(description)), md5(std::move(md5)) {}
    explicit ProfileReference(const ICCProfileInfo& info)
        : path(info.path), description(info.description), md5(info.md5) {}

    friend bool operator==(const ProfileReference&, const ProfileReference&) = default;
};

// The payload of application-managed colour: the photo is converted into the paper profile by the engine.
struct AppColorManagement {
    ProfileReference profile;
    RenderingIntent intent = RenderingIntent::perceptual;
    bool blackPointCompensation = false;

    friend bool operator==(const AppColorManagement&, const AppColorManagement&) = default;
};

// Who manages colour: the application (with a paper profile, intent and black-point setting) when `app` holds
// a value, otherwise the printer driver. Two driver-managed values are equal; an application-managed value
// never equals a driver-managed one.
struct ColorManagement {
    std::optional<AppColorManagement> app;

    static ColorManagement driver() { return {}; }
    static ColorManagement application(ProfileReference profile, RenderingIntent intent,
                                       bool blackPointCompensation) {
        return {AppColorManagement{std::move(profile), intent, blackPointCompensation}};
    }
    bool isDriver() const { return !app.has_value(); }

    friend bool operator==(const ColorManagement&, const ColorManagement&) = default;
};

struct PaperRecipe {
    // The recipe format this build writes; the store refuses files of a larger number.
    static constexpr std::int64_t currentSchemaVersion = 1;

    // Declaration order is the order of equality, hashing and the JSON writer.
    std::int64_t schemaVersion = currentSchemaVersion;
    Uuid id;
    std::int64_t version = 1; // revision counter, stamped by the store on every save
    std::string name;
    PrinterReference printer;
    std::string media;                          // choice key of the driver's media type option
    std::string sheet;                          // page size key; "Custom" when customSheet is present
    std::optional<CustomSheetSize> customSheet; // its presence, not `sheet`, makes the page a custom size
    std::string source;                         // choice key of the driver's paper source option
    PrintQuality quality = PrintQuality::standard;
    InkMode ink = InkMode::color;
    ColorManagement color;
    std::optional<OutputSharpening> sharpening;         // absent prints as `off` but is not equal to it
    std::optional<bool> bleedCompensation;              // absent and false both leave it off, yet differ
    std::map<std::string, std::string> driverOverrides; // PPD option keyword → choice key
    std::string notes;
    Timestamp updatedAt{};

    // A new recipe: schema 1, a random identity, version 1, no edge compensation, made now.
    static PaperRecipe make(std::string name, PrinterReference printer, std::string media, std::string sheet,
                            std::optional<CustomSheetSize> customSheet, std::string source,
                            PrintQuality quality, InkMode ink, ColorManagement color,
                            std::optional<OutputSharpening> sharpening,
                            std::map<std::string, std::string> driverOverrides, std::string notes);

    friend bool operator==(const PaperRecipe&, const PaperRecipe&) = default;
};

} // namespace PrintKit

template <> struct std::hash<PrintKit::PrinterReference> {
    std::size_t operator()(const PrintKit::PrinterReference& printer) const noexcept;
};
template <> struct std::hash<PrintKit::CustomSheetSize> {
    std::size_t operator()(const PrintKit::CustomSheetSize& size) const noexcept;
};
template <> struct std::hash<PrintKit::ProfileReference> {
    std::size_t operator()(const PrintKit::ProfileReference& profile) const noexcept;
};
template <> struct std::hash<PrintKit::ColorManagement> {
    std::size_t operator()(const PrintKit::ColorManagement& color) const noexcept;
};
template <> struct std::hash<PrintKit::PaperRecipe> {
    std::size_t operator()(const PrintKit::PaperRecipe& recipe) const noexcept;
};
