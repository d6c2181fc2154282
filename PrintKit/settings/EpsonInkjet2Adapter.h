// How the Epson inkjet driver's PPD file is laid out, and how a paper recipe maps onto it: which sheets and
// paper sources a recipe may choose, the page a sheet and source print on (custom sizes included), the
// driver's standard margins, its quality presets and detail options, and the complete, checked option list
// of a print job with the resolution it asks for.
#pragma once

#include "PrintKit/settings/DriverAdapterError.h"
#include "PrintKit/settings/EpsonMachineData.h"
#include "PrintKit/settings/OptionResolver.h"
#include "PrintKit/settings/PPDFile.h"
#include "PrintKit/settings/PaperRecipe.h"
#include "PrintKit/settings/PrintOption.h"
#include "PrintKit/support/Geometry.h"

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace PrintKit::EpsonInkjet2Adapter {

using Settings = std::map<std::string, std::string>; // driver option keyword → choice key

// The `sheet` of a recipe whose size is its `customSheet` (the size's presence is what counts).
inline constexpr std::string_view customSheet = "Custom";

// The driver options the recipe panel shows as quality details, in this order.
inline constexpr std::array<std::string_view, 8> detailedQualityKeys{
    "EPIJ_Qual", "EPIJ_Bi_D", "EPIJ_FDet", "EPIJ_FWea", "EPIJ_OvCt", "EPIJ_AnGl", "EPIJ_BEQP", "EPIJ_Silt"};

// --- Paper ---

// Whether the queue uses the driver at all: the PPD names the driver system, whatever its value.
bool supports(const PPDFile& ppd);

// The page-size choices a recipe may choose as its sheet: those the driver's own size list offers by label,
// without the source variants (keys with a dot).
std::vector<PPDChoice> sheets(const PPDFile& ppd);

// Paper sources usable with the recipe's sheet, or with any custom size when it has one.
std::vector<PPDChoice> sources(const PaperRecipe& recipe, const PPDFile& ppd);
// Paper sources that give the standard sheet a page.
std::vector<PPDChoice> sources(std::string_view sheet, const PPDFile& ppd);

// Whether a paper source takes custom sizes (borderless, roll and disc sources do not).
bool isCustomSource(const PPDChoice& source);

// The page a standard sheet prints on from a source. Throws DriverAdapterError: unknownSheet,
// unknownSource, sheetNotAvailable (checked in that order).
PPDPageSize pageSize(std::string_view sheet, std::string_view source, const PPDFile& ppd);

// The recipe's page, standard or custom. Throws DriverAdapterError; a custom size also checks that the
// PPD takes custom sizes, that the source does, and that the size is within range (NaN and infinities
// never are).
PPDPageSize pageSize(const PaperRecipe& recipe, const PPDFile& ppd);

// The custom sizes the queue takes, in points: the PPD's range narrowed by the driver's machine data.
std::optional<PPDCustomSizeRange> customSizeRange(const PPDFile& ppd);

// The driver's ordinary margins, read from the A4 page (else the first sheet's page); 8.4 points on every
// side when there is no such page or it has no imageable area.
Margins standardMargins(const PPDFile& ppd);

// --- Quality ---

// The driver settings of a quality for a media type. Throws DriverAdapterError noQualityPreset when the
// PPD has no preset for a standard or high quality.
Settings qualitySettings(PrintQuality quality, std::string_view media, const PPDFile& ppd);

// The starting settings of a custom quality: the first print mode that is not the automatic one.
Settings advancedQualitySettings(const PPDFile& ppd);

// The qualities the queue offers, in the order standard, high, custom.
std::vector<PrintQuality> supportedQualities(const PPDFile& ppd);

// The PPD options among detailedQualityKeys that offer a choice (more than one).
std::vector<PPDOption> detailedQualityOptions(const PPDFile& ppd);

// The driver's detail values behind the recipe's preset quality (from the machine data when the preset
// uses the automatic print mode). None for a custom quality or when they cannot be found.
std::optional<Settings> presetDetails(const PaperRecipe& recipe, const PPDFile& ppd);

// The "Resolution" choice that suits a print-quality choice: the largest resolution not above the one its
// label names ("… 1440dpi"), else the smallest.
std::optional<std::string> resolutionForQuality(const std::optional<std::string>& qualityKey,
                                                const PPDFile& ppd);

// The resolution in dots per inch that an option list asks for; 720 when it names none (or none that is a
// positive finite number).
double resolution(const std::vector<PrintOption>& options);

// The ordered option list of a print job. Throws DriverAdapterError or OptionResolverError, the first
// failure in the order: driver, media, page, quality preset, sheet, option values.
std::vector<PrintOption> options(const PaperRecipe& recipe, const PPDFile& ppd);

} // namespace PrintKit::EpsonInkjet2Adapter
