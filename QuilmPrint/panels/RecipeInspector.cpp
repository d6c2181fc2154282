#include "QuilmPrint/panels/RecipeInspector.h"

#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/window/Controls.h"

#include <QLabel>
#include <QVBoxLayout>

namespace QuilmPrint {

RecipeInspector::RecipeInspector(PrintModel* model, QWidget* parent) : QWidget(parent), model_(model) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    auto* title = new QLabel(QStringLiteral("레시피"), this);
    TextStyle::sectionTitle(title);
    layout->addWidget(title);
    summary_ = new QLabel(this);
    TextStyle::helper(summary_);
    layout->addWidget(summary_);
    layout->addStretch(1);
    QObject::connect(model_, &PrintModel::recipeChanged, this, &RecipeInspector::refresh);
    refresh();
}

void RecipeInspector::refresh() {
    const auto& recipe = model_->recipe();
    summary_->setText(recipe ? QString::fromStdString(recipe->name) : QStringLiteral("레시피가 없습니다"));
}

} // namespace QuilmPrint
