// The inspector's colour section: who manages colour and, when the application does, the paper profile (from
// a menu that offers the profiles suggested for the paper first), the rendering intent and black-point
// compensation.
#pragma once

#include "QuilmPrint/panels/InspectorControls.h"

namespace PrintKit {
struct PaperRecipe;
}

namespace QuilmPrint {

class PrintModel;

class ColorSection : public InspectorSection {
    Q_OBJECT
public:
    explicit ColorSection(PrintModel* model, QWidget* parent = nullptr);
    void refresh(const PrintKit::PaperRecipe& recipe);

private:
    PrintModel* model_;
    ChipRow* management_;
    QLabel* managementHelp_;
    QWidget* appRows_;
    MenuChip* profile_;
    QLabel* warning_;
    ChipRow* intent_;
    QLabel* intentHelp_;
    ToggleRow* blackPoint_;
};

} // namespace QuilmPrint
