#include "QuilmPrint/panels/ColorSection.h"

#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/panels/ColorText.h"

#include <QVBoxLayout>

namespace QuilmPrint {

using PrintKit::RenderingIntent;

namespace {
constexpr RenderingIntent intents[] = {RenderingIntent::perceptual, RenderingIntent::relativeColorimetric};
}

ColorSection::ColorSection(PrintModel* model, QWidget* parent)
    : InspectorSection(QStringLiteral("색"), parent), model_(model) {
    management_ = new ChipRow({QStringLiteral("앱이 관리"), QStringLiteral("프린터가 관리")}, this);
    management_->setObjectName(QStringLiteral("colorManagement"));
    QObject::connect(management_, &ChipRow::chosen, model_,
                     [this](int index) { model_->setAppManagedColor(index == 0); });
    rows()->addWidget(management_);
    managementHelp_ = helperLabel();
    managementHelp_->setObjectName(QStringLiteral("managementHelp"));
    rows()->addWidget(managementHelp_);

    appRows_ = new QWidget(this);
    auto* app = new QVBoxLayout(appRows_);
    app->setContentsMargins(0, 0, 0, 0);
    app->setSpacing(10);

    auto* profileRows = new QVBoxLayout;
    profileRows->setSpacing(6);
    profile_ = new MenuChip(
        [this] {
            const auto& recipe = model_->recipe();
            if (!recipe)
                return MenuEntries{};
            auto suggestions = model_->profileSuggestions(recipe->media);
            return ColorText::profileMenu(suggestions,
                                          ColorText::otherProfiles(model_->profiles(), suggestions));
        },
        [this](const QString& path) {
            const auto& recipe = model_->recipe();
            if (!recipe)
                return;
            if (auto info = ColorText::profileFor(path, model_->profileSuggestions(recipe->media),
                                                  model_->profiles()))
                model_->setProfile(*info);
        });
    profile_->setObjectName(QStringLiteral("profile"));
    profileRows->addWidget(labeledRow(QStringLiteral("프로파일"), {profile_}));
    warning_ = warningLabel();
    warning_->setObjectName(QStringLiteral("profileWarning"));
    profileRows->addWidget(warning_);
    app->addLayout(profileRows);

    intent_ = new ChipRow({QStringLiteral("지각적"), QStringLiteral("상대 색도계")});
    intent_->setObjectName(QStringLiteral("intent"));
    QObject::connect(intent_, &ChipRow::chosen, model_,
                     [this](int index) { model_->setIntent(intents[index]); });
    app->addWidget(labeledRow(QStringLiteral("인텐트"), {intent_}));
    intentHelp_ = helperLabel();
    intentHelp_->setObjectName(QStringLiteral("intentHelp"));
    app->addWidget(intentHelp_);
    blackPoint_ = new ToggleRow(QStringLiteral("흑점 보정"), appRows_);
    blackPoint_->setObjectName(QStringLiteral("blackPoint"));
    QObject::connect(blackPoint_, &ToggleRow::toggled, model_,
                     [this](bool on) { model_->setBlackPointCompensation(on); });
    app->addWidget(blackPoint_);
    app->addWidget(helperLabel(QString::fromUtf8(ColorText::blackPointHelp)));
    rows()->addWidget(appRows_);
}

void ColorSection::refresh(const PrintKit::PaperRecipe& recipe) {
    const auto& app = recipe.color.app;
    management_->setSelected(app ? 0 : 1);
    setLabelText(managementHelp_, ColorText::managementHelp(app.has_value()));
    appRows_->setVisible(app.has_value());
    if (!app)
        return;
    profile_->setTitle(QString::fromStdString(app->profile.description));
    QString warning = ColorText::profileWarning(model_->profileSuggestions(recipe.media), app->profile.path);
    setLabelText(warning_, warning);
    warning_->setVisible(!warning.isEmpty());
    intent_->setSelected(app->intent == RenderingIntent::perceptual ? 0 : 1);
    setLabelText(intentHelp_, ColorText::intentHelp(app->intent));
    blackPoint_->setOn(app->blackPointCompensation);
}

} // namespace QuilmPrint
