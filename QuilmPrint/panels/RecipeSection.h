// The inspector's first section: the working recipe's name, renamed as it is typed, and whether and when it
// was saved.
#pragma once

#include "QuilmPrint/panels/InspectorControls.h"

namespace PrintKit {
struct PaperRecipe;
}

namespace QuilmPrint {

class PrintModel;

class RecipeSection : public InspectorSection {
    Q_OBJECT
public:
    explicit RecipeSection(PrintModel* model, QWidget* parent = nullptr);
    void refresh(const PrintKit::PaperRecipe& recipe);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    PrintModel* model_;
    QLineEdit* name_;
    QLabel* caption_;
};

} // namespace QuilmPrint
