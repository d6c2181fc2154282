#include "QuilmPrint/panels/RecipeInspector.h"

#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/panels/ColorSection.h"
#include "QuilmPrint/panels/DriverSection.h"
#include "QuilmPrint/panels/LayoutSection.h"
#include "QuilmPrint/panels/PaperSection.h"
#include "QuilmPrint/panels/PaperText.h"
#include "QuilmPrint/panels/RecipeSection.h"

#include <QLabel>
#include <QScrollArea>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace QuilmPrint {

RecipeInspector::RecipeInspector(PrintModel* model, QWidget* parent) : QWidget(parent), model_(model) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    placeholder_ = new QLabel(this);
    placeholder_->setObjectName(QStringLiteral("placeholder"));
    placeholder_->setFont(Theme::font(12));
    setTextColour(placeholder_, Theme::inkTertiary());
    placeholder_->setAlignment(Qt::AlignCenter);
    placeholder_->setWordWrap(true);
    layout->addWidget(placeholder_, 1);

    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll_->viewport()->setAutoFillBackground(false);
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("inspectorContent"));
    content->setAutoFillBackground(false);
    auto* sections = new QVBoxLayout(content);
    sections->setContentsMargins(0, 0, 0, 0);
    sections->setSpacing(0);
    recipe_ = new RecipeSection(model_, content);
    paper_ = new PaperSection(model_, content);
    color_ = new ColorSection(model_, content);
    layout_ = new LayoutSection(model_, content);
    driver_ = new DriverSection(model_, content);
    for (QWidget* section : std::initializer_list<QWidget*>{recipe_, paper_, color_, layout_, driver_})
        sections->addWidget(section);
    sections->addStretch(1);
    scroll_->setWidget(content);
    layout->addWidget(scroll_, 1);

    // Every area the sections read; the preview image and the notices are not among them.
    for (auto signal : {&PrintModel::printersChanged, &PrintModel::recipeChanged,
                        &PrintModel::profilesChanged, &PrintModel::photosChanged, &PrintModel::layoutChanged,
                        &PrintModel::jobsChanged, &PrintModel::setupChanged})
        QObject::connect(model_, signal, this, &RecipeInspector::scheduleRefresh);
    refresh();
}

QString RecipeInspector::placeholder() const {
    return placeholder_->isVisibleTo(this) ? placeholder_->text() : QString();
}

QSize RecipeInspector::minimumSizeHint() const {
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll_);
    return {scroll_->widget()->minimumSizeHint().width() + bar, placeholder_->minimumSizeHint().height()};
}

void RecipeInspector::scheduleRefresh() {
    if (refreshPending_)
        return;
    refreshPending_ = true;
    QTimer::singleShot(0, this, [this] {
        refreshPending_ = false;
        refresh();
    });
}

void RecipeInspector::refresh() {
    const auto& recipe = model_->recipe();
    const PrintKit::PPDFile* ppd = PaperText::selectedPPD(model_->printers(), model_->printerID());
    if (!recipe || !ppd) {
        placeholder_->setText(model_->isLoadingPrinters()
                                  ? QStringLiteral("프린터를 찾는 중…")
                                  : QStringLiteral("프린터를 고르면 설정이 나타납니다"));
        placeholder_->show();
        scroll_->hide();
        driver_->closeOptions();
        return;
    }
    placeholder_->hide();
    scroll_->show();
    // One prepared sheet for every section: preparing changes nothing, so they all see the same one.
    const Outcome<PreparedSheet> prepared = model_->tryPrepare();
    recipe_->refresh(*recipe);
    paper_->refresh(*recipe, *ppd, prepared);
    color_->refresh(*recipe);
    layout_->refresh(prepared);
    driver_->refresh(*ppd, prepared);
}

} // namespace QuilmPrint
