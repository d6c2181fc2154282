// What the recipe and paper sections of the inspector show, worked out from the recipe and the printer's
// PPD: the menus' entries and titles, the captions, and the form each quality detail takes. The widgets only
// show these.
#pragma once

#include "PrintKit/settings/PPDFile.h"
#include "PrintKit/settings/PaperRecipe.h"
#include "QuilmPrint/model/ModelRecords.h"
#include "QuilmPrint/panels/MenuEntry.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>
#include <string>
#include <vector>

namespace QuilmPrint::PaperText {

// The parsed PPD of the selected printer: the first printer whose queue is `printerID`; none without such a
// printer or when its PPD could not be read.
const PrintKit::PPDFile* selectedPPD(const std::vector<PrinterChoice>& printers,
                                     const std::optional<std::string>& printerID);

// The Korean label of a PPD option, and of one of its choices.
QString label(const PrintKit::PPDOption& option);
QString label(const PrintKit::PPDChoice& choice);

// The choices without disc and CD entries (their plain label contains "Disc" or "CD"): this application
// prints photographs on paper only.
std::vector<PrintKit::PPDChoice> withoutDiscs(std::vector<PrintKit::PPDChoice> choices);

// The media types a recipe may choose.
std::vector<PrintKit::PPDChoice> mediaChoices(const PrintKit::PPDFile& ppd);
// The paper sources usable with the recipe.
std::vector<PrintKit::PPDChoice> sourceChoices(const PrintKit::PaperRecipe& recipe,
                                               const PrintKit::PPDFile& ppd);

// The Korean label of the choice `key` of the option `keyword`, else the key itself.
QString choiceTitle(const PrintKit::PPDFile& ppd, std::string_view keyword, const std::string& key);

// The caption under the recipe name: whether the recipe was ever saved, and if so which save and when.
QString savedCaption(bool saved, std::int64_t version, const QDateTime& updatedAt,
                     const QLocale& locale = QLocale());
// A date in its medium form and the time without seconds, the way the user's locale writes them:
// "2024. 5. 1. 오후 3:04" in Korean, "01.05.2024, 15:04" in German. The C locale gets the Korean form.
QString shortDateTime(const QDateTime& time, const QLocale& locale = QLocale());

// The sheet menu's chip: the sheet's Korean label, or the custom size in millimetres.
QString sheetTitle(const PrintKit::PaperRecipe& recipe, const PrintKit::PPDFile& ppd);

// Ids of the sheet menu's items: "sheet:" + page size key, "paper:" + index into the saved papers, "custom".
MenuEntries sheetMenu(const std::vector<PrintKit::PPDChoice>& sheets, bool takesCustomSizes,
                      const std::vector<SavedCustomPaper>& savedPapers);
QString savedPaperTitle(const SavedCustomPaper& paper);

// A custom sheet is portrait when it is no wider than high (a square counts as portrait).
bool isPortrait(const PrintKit::CustomSheetSize& size);
// The same sheet turned to the orientation: shorter side across for portrait.
PrintKit::CustomSheetSize oriented(const PrintKit::CustomSheetSize& size, bool portrait);
// The sheet with one side replaced by a typed length in millimetres.
PrintKit::CustomSheetSize withWidthMM(const PrintKit::CustomSheetSize& size, double widthMM);
PrintKit::CustomSheetSize withHeightMM(const PrintKit::CustomSheetSize& size, double heightMM);

// What the printer takes as custom sizes.
QString customRangeCaption(const PrintKit::PPDCustomSizeRange& range);

// The caption of the edge compensation switch.
QString bleedCaption(bool pending, bool on);

// What follows the quality chips: detail rows or not, then one caption, and the reset button when the custom
// quality holds overrides. `presetDetailsKnown`: the driver publishes the preset's values for this paper.
struct QualityDetails {
    bool showsRows = false;
    QString caption;
    bool showsReset = false;

    friend bool operator==(const QualityDetails&, const QualityDetails&) = default;
};
QualityDetails qualityDetails(PrintKit::PrintQuality quality, bool presetDetailsKnown, bool hasOverrides);

// A detail option with exactly two choices of which exactly one is plainly labelled "Off" is a switch; the
// other choice is "on".
struct DetailSwitch {
    std::string onKey;
    std::string offKey;

    friend bool operator==(const DetailSwitch&, const DetailSwitch&) = default;
};
std::optional<DetailSwitch> detailSwitch(const PrintKit::PPDOption& option);
// The chip of a detail shown as a menu: the Korean label of the current choice, "-" when there is none.
QString detailTitle(const PrintKit::PPDOption& option, const std::optional<std::string>& value);

inline constexpr const char* sharpeningCaption = "잉크 번짐만큼 되살림. 무광지는 한 단계 높게.";

} // namespace QuilmPrint::PaperText
