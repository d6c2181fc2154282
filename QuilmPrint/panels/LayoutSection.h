// The inspector's layout section: one photo per sheet (fitted, filled or at an exact size, with the canvas
// orientation or the exact size and its presets) or many photos in a grid (template, cell, orientation, gap,
// repetition, fit, switches and the grid's summary), then the margin.
#pragma once

#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/panels/InspectorControls.h"

namespace QuilmPrint {

class LayoutSection : public InspectorSection {
    Q_OBJECT
public:
    explicit LayoutSection(PrintModel* model, QWidget* parent = nullptr);
    void refresh(const Outcome<PreparedSheet>& prepared);

private:
    QWidget* makeSingleRows();
    QWidget* makeGridRows();
    // Assigns the grid with one change applied; the model saves it even when nothing changed.
    template <typename Change> void changeGrid(Change change) {
        GridSettings grid = model_->grid();
        change(grid);
        model_->setGrid(grid);
    }

    PrintModel* model_;
    ChipRow* perSheet_;

    QWidget* single_;
    ChipRow* mode_;
    QLabel* modeDescription_;
    QWidget* canvasRow_;
    ChipRow* canvas_;
    QLabel* canvasCaption_;
    QWidget* exactRows_;
    MenuChip* preset_;
    ChipRow* exactOrientation_;
    NumberField* exactWidth_;
    NumberField* exactHeight_;

    QWidget* grid_;
    MenuChip* template_;
    NumberField* cellWidth_;
    NumberField* cellHeight_;
    ChipRow* gridOrientation_;
    NumberField* gap_;
    ChipRow* repetition_;
    ChipRow* cellFit_;
    ToggleRow* rotates_;
    ToggleRow* cutMarks_;
    ToggleRow* captions_;
    QLabel* summary_;

    NumberField* margin_;
};

} // namespace QuilmPrint
