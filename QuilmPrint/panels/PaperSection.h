// The inspector's paper section: media type, sheet size (a size of the printer, a saved custom size or one
// typed in millimetres), paper source, the borderless edge compensation, print quality with the driver's
// detail settings behind it, and output sharpening.
#pragma once

#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/panels/InspectorControls.h"
#include "QuilmPrint/panels/PaperText.h"

#include <optional>
#include <vector>

class QVBoxLayout;

namespace QuilmPrint {

class PaperSection : public InspectorSection {
    Q_OBJECT
public:
    explicit PaperSection(PrintModel* model, QWidget* parent = nullptr);
    void refresh(const PrintKit::PaperRecipe& recipe, const PrintKit::PPDFile& ppd,
                 const Outcome<PreparedSheet>& prepared);

private:
    struct DetailRow {
        PrintKit::PPDOption option;
        std::optional<PaperText::DetailSwitch> onOff;
        QWidget* row = nullptr;
        ToggleRow* toggle = nullptr;
        MenuChip* menu = nullptr;
    };

    const PrintKit::PPDFile* ppd() const;
    void chooseSheet(const QString& id);
    PrintKit::CustomSheetSize customSize() const;
    void rebuildDetails(const std::vector<PrintKit::PPDOption>& options);

    PrintModel* model_;
    MenuChip* media_;
    MenuChip* sheet_;
    QWidget* customOrientationRow_;
    ChipRow* customOrientation_;
    QWidget* customSizeRow_;
    NumberField* customWidth_;
    NumberField* customHeight_;
    QLabel* customCaption_;
    PrintKit::CustomSheetSize shownCustomSize_;
    MenuChip* source_;
    ToggleRow* bleed_;
    QLabel* bleedCaption_;
    ChipRow* quality_;
    QWidget* details_;
    QVBoxLayout* detailsLayout_;
    std::vector<PrintKit::PPDOption> detailOptions_;
    std::vector<DetailRow> detailRows_;
    QWidget* qualityCaptionRow_;
    QLabel* qualityCaption_;
    ChipButton* reset_;
    ChipRow* sharpening_;
};

} // namespace QuilmPrint
