#include "QuilmPrint/panels/PaperSection.h"

#include "PrintKit/settings/EpsonInkjet2Adapter.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>

namespace QuilmPrint {

namespace Adapter = PrintKit::EpsonInkjet2Adapter;
using PrintKit::OutputSharpening;
using PrintKit::PrintQuality;

namespace {
constexpr PrintQuality qualities[] = {PrintQuality::standard, PrintQuality::high, PrintQuality::custom};
constexpr OutputSharpening sharpenings[] = {OutputSharpening::off, OutputSharpening::low,
                                            OutputSharpening::standard, OutputSharpening::high};

template <typename T, std::size_t N> std::vector<QString> chipTitles(const T (&values)[N]) {
    std::vector<QString> titles;
    for (T value : values)
        titles.push_back(QString::fromUtf8(PrintKit::label(value).data(),
                                           static_cast<qsizetype>(PrintKit::label(value).size())));
    return titles;
}

template <typename T, std::size_t N> int indexOf(const T (&values)[N], T value) {
    return static_cast<int>(std::find(std::begin(values), std::end(values), value) - std::begin(values));
}

MenuEntries choiceEntries(const std::vector<PrintKit::PPDChoice>& choices) {
    MenuEntries entries;
    for (const PrintKit::PPDChoice& choice : choices)
        entries.push_back(MenuEntry::item(PaperText::label(choice), QString::fromStdString(choice.key)));
    return entries;
}
} // namespace

PaperSection::PaperSection(PrintModel* model, QWidget* parent)
    : InspectorSection(QStringLiteral("용지"), parent), model_(model) {
    // Media and sheet.
    media_ = new MenuChip(
        [this] {
            const PrintKit::PPDFile* file = ppd();
            return file ? choiceEntries(PaperText::mediaChoices(*file)) : MenuEntries{};
        },
        [this](const QString& key) { model_->setMedia(key.toStdString()); });
    media_->setObjectName(QStringLiteral("media"));
    rows()->addWidget(labeledRow(QStringLiteral("종류"), {media_}));

    sheet_ = new MenuChip(
        [this] {
            const PrintKit::PPDFile* file = ppd();
            if (!file)
                return MenuEntries{};
            bool takesCustom = Adapter::customSizeRange(*file).has_value();
            auto& cache = PrintModel::customPaperCache();
            if (takesCustom && !cache)
                cache = PrintModel::loadCustomPapers();
            return PaperText::sheetMenu(Adapter::sheets(*file), takesCustom,
                                        takesCustom ? *cache : std::vector<SavedCustomPaper>{});
        },
        [this](const QString& id) { chooseSheet(id); });
    sheet_->setObjectName(QStringLiteral("sheet"));
    rows()->addWidget(labeledRow(QStringLiteral("크기"), {sheet_}));

    // Custom size.
    customOrientation_ = new ChipRow({QStringLiteral("세로"), QStringLiteral("가로")});
    customOrientation_->setObjectName(QStringLiteral("customOrientation"));
    QObject::connect(customOrientation_, &ChipRow::chosen, this, [this](int index) {
        const auto& recipe = model_->recipe();
        if (recipe && recipe->customSheet)
            model_->chooseCustomSheet(PaperText::oriented(*recipe->customSheet, index == 0));
    });
    customOrientationRow_ = labeledRow(QStringLiteral("방향"), {customOrientation_});
    rows()->addWidget(customOrientationRow_);

    customWidth_ = new NumberField(
        [this] { return customSize().widthMM(); },
        [this](double mm) { model_->chooseCustomSheet(PaperText::withWidthMM(customSize(), mm)); },
        QStringLiteral("custom-w-"));
    customWidth_->setObjectName(QStringLiteral("customWidth"));
    customHeight_ = new NumberField(
        [this] { return customSize().heightMM(); },
        [this](double mm) { model_->chooseCustomSheet(PaperText::withHeightMM(customSize(), mm)); },
        QStringLiteral("custom-h-"));
    customHeight_->setObjectName(QStringLiteral("customHeight"));
    customSizeRow_ = labeledRow({}, {customWidth_, unitLabel(QStringLiteral("×"), false), customHeight_,
                                     unitLabel(QStringLiteral("mm"), true)});
    rows()->addWidget(customSizeRow_);
    customCaption_ = helperLabel();
    customCaption_->setObjectName(QStringLiteral("customCaption"));
    rows()->addWidget(customCaption_);

    // Source and edge compensation.
    source_ = new MenuChip(
        [this] {
            const PrintKit::PPDFile* file = ppd();
            const auto& recipe = model_->recipe();
            return file && recipe ? choiceEntries(PaperText::sourceChoices(*recipe, *file)) : MenuEntries{};
        },
        [this](const QString& key) { model_->setSource(key.toStdString()); });
    source_->setObjectName(QStringLiteral("source"));
    rows()->addWidget(labeledRow(QStringLiteral("급지"), {source_}));

    bleed_ = new ToggleRow(QStringLiteral("가장자리 보정"), this);
    bleed_->setObjectName(QStringLiteral("bleed"));
    QObject::connect(bleed_, &ToggleRow::toggled, model_,
                     [this](bool on) { model_->setBleedCompensation(on); });
    rows()->addWidget(bleed_);
    bleedCaption_ = helperLabel();
    bleedCaption_->setObjectName(QStringLiteral("bleedCaption"));
    rows()->addWidget(bleedCaption_);

    // Quality and its details.
    quality_ = new ChipRow(chipTitles(qualities));
    quality_->setObjectName(QStringLiteral("quality"));
    QObject::connect(quality_, &ChipRow::chosen, this,
                     [this](int index) { model_->setQuality(qualities[index]); });
    rows()->addWidget(labeledRow(QStringLiteral("품질"), {quality_}));

    details_ = new QWidget(this);
    details_->setObjectName(QStringLiteral("qualityDetails"));
    detailsLayout_ = new QVBoxLayout(details_);
    detailsLayout_->setContentsMargins(0, 0, 0, 0);
    detailsLayout_->setSpacing(10);
    rows()->addWidget(details_);

    qualityCaptionRow_ = new QWidget(this);
    auto* captionLayout = new QHBoxLayout(qualityCaptionRow_);
    captionLayout->setContentsMargins(0, 0, 0, 0);
    captionLayout->setSpacing(8);
    qualityCaption_ = helperLabel({}, qualityCaptionRow_);
    qualityCaption_->setObjectName(QStringLiteral("qualityCaption"));
    captionLayout->addWidget(qualityCaption_, 1);
    captionLayout->addSpacing(6);
    reset_ = new ChipButton(QStringLiteral("되돌리기"), ChipStyle{false, Theme::inkSecondary(), 24},
                            qualityCaptionRow_);
    reset_->setObjectName(QStringLiteral("resetOverrides"));
    reset_->setToolTip(QStringLiteral("직접 바꾼 값을 지우고 드라이버 기본값으로"));
    QObject::connect(reset_, &QPushButton::clicked, model_, [this] { model_->clearDriverOverrides(); });
    captionLayout->addWidget(reset_, 0, Qt::AlignVCenter);
    rows()->addWidget(qualityCaptionRow_);

    // Sharpening.
    sharpening_ = new ChipRow(chipTitles(sharpenings));
    sharpening_->setObjectName(QStringLiteral("sharpening"));
    QObject::connect(sharpening_, &ChipRow::chosen, this,
                     [this](int index) { model_->setSharpening(sharpenings[index]); });
    rows()->addWidget(labeledRow(QStringLiteral("샤프닝"), {sharpening_}));
    rows()->addWidget(helperLabel(QString::fromUtf8(PaperText::sharpeningCaption)));
}

const PrintKit::PPDFile* PaperSection::ppd() const {
    return PaperText::selectedPPD(model_->printers(), model_->printerID());
}

PrintKit::CustomSheetSize PaperSection::customSize() const {
    const auto& recipe = model_->recipe();
    return recipe && recipe->customSheet ? *recipe->customSheet : shownCustomSize_;
}

void PaperSection::chooseSheet(const QString& id) {
    if (id.startsWith(QStringLiteral("sheet:"))) {
        model_->chooseSheet(id.mid(6).toStdString());
    } else if (id.startsWith(QStringLiteral("paper:"))) {
        const auto& cache = PrintModel::customPaperCache();
        std::size_t index = id.mid(6).toULongLong();
        if (cache && index < cache->size())
            model_->chooseCustomSheet((*cache)[index].size);
    } else if (id == QStringLiteral("custom")) {
        // Keeps the custom size there is, or starts from the size of the sheet being printed.
        const auto& recipe = model_->recipe();
        model_->chooseCustomSheet(recipe && recipe->customSheet ? *recipe->customSheet
                                                                : model_->currentPaperSize());
    }
}

void PaperSection::refresh(const PrintKit::PaperRecipe& recipe, const PrintKit::PPDFile& ppd,
                           const Outcome<PreparedSheet>& prepared) {
    media_->setTitle(PaperText::choiceTitle(ppd, "EPIJ_Medi", recipe.media));
    sheet_->setTitle(PaperText::sheetTitle(recipe, ppd));

    // Custom size rows, while the recipe has a custom sheet.
    const bool custom = recipe.customSheet.has_value();
    customOrientationRow_->setVisible(custom);
    customSizeRow_->setVisible(custom);
    std::optional<PrintKit::PPDCustomSizeRange> range = Adapter::customSizeRange(ppd);
    customCaption_->setVisible(custom && range);
    if (custom) {
        shownCustomSize_ = *recipe.customSheet;
        customOrientation_->setSelected(PaperText::isPortrait(shownCustomSize_) ? 0 : 1);
        customWidth_->refresh();
        customHeight_->refresh();
        if (range)
            setLabelText(customCaption_, PaperText::customRangeCaption(*range));
    }

    source_->setTitle(PaperText::choiceTitle(ppd, "EPIJ_PSrc", recipe.source));

    // Edge compensation: only for a sheet printed on a larger (borderless) page.
    const bool bleedShown = prepared.ok() && prepared.value->paper.has_value();
    bleed_->setVisible(bleedShown);
    bleedCaption_->setVisible(bleedShown);
    if (bleedShown) {
        const bool on = recipe.bleedCompensation.value_or(false);
        bleed_->setOn(on);
        setLabelText(bleedCaption_, PaperText::bleedCaption(prepared.value->bleedPending, on));
    }

    // Quality.
    quality_->setSelected(indexOf(qualities, recipe.quality));
    std::vector<PrintQuality> supported = Adapter::supportedQualities(ppd);
    for (int index = 0; index < 3; ++index)
        quality_->setChipEnabled(index, std::find(supported.begin(), supported.end(), qualities[index]) !=
                                            supported.end());
    const bool known =
        recipe.quality != PrintQuality::custom && Adapter::presetDetails(recipe, ppd).has_value();
    PaperText::QualityDetails shown =
        PaperText::qualityDetails(recipe.quality, known, !recipe.driverOverrides.empty());
    details_->setVisible(shown.showsRows);
    if (shown.showsRows) {
        std::vector<PrintKit::PPDOption> options = Adapter::detailedQualityOptions(ppd);
        if (options != detailOptions_)
            rebuildDetails(options);
        for (DetailRow& detail : detailRows_) {
            std::optional<std::string> value = model_->driverValue(detail.option.keyword);
            if (detail.toggle)
                detail.toggle->setOn(value == detail.onOff->onKey);
            else
                detail.menu->setTitle(PaperText::detailTitle(detail.option, value));
        }
    }
    setLabelText(qualityCaption_, shown.caption);
    reset_->setVisible(shown.showsReset);

    sharpening_->setSelected(indexOf(sharpenings, recipe.sharpening.value_or(OutputSharpening::off)));
}

void PaperSection::rebuildDetails(const std::vector<PrintKit::PPDOption>& options) {
    for (DetailRow& detail : detailRows_)
        delete detail.row;
    detailRows_.clear();
    detailOptions_ = options;
    for (const PrintKit::PPDOption& option : options) {
        DetailRow detail{option, PaperText::detailSwitch(option)};
        const std::string keyword = option.keyword;
        if (detail.onOff) {
            detail.toggle = new ToggleRow(PaperText::label(option), details_);
            detail.row = detail.toggle;
            QObject::connect(detail.toggle, &ToggleRow::toggled, model_,
                             [this, keyword, onOff = *detail.onOff](bool on) {
                                 model_->setDriverOverride(keyword, on ? onOff.onKey : onOff.offKey);
                             });
        } else {
            detail.row = new QWidget(details_);
            auto* layout = new QHBoxLayout(detail.row);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->setSpacing(10);
            auto* title = new ElidedLabel(PaperText::label(option), detail.row);
            title->setFont(Theme::font(12.5));
            title->setColour(Theme::inkSecondary());
            layout->addWidget(title, 1, Qt::AlignVCenter);
            layout->addSpacing(6);
            detail.menu = new MenuChip([option] { return choiceEntries(option.choices); },
                                       [this, keyword](const QString& key) {
                                           model_->setDriverOverride(keyword, key.toStdString());
                                       },
                                       detail.row);
            layout->addWidget(detail.menu, 0, Qt::AlignVCenter);
        }
        detail.row->setObjectName(QString::fromStdString("detail-" + keyword));
        detailsLayout_->addWidget(detail.row);
        detailRows_.push_back(std::move(detail));
    }
}

} // namespace QuilmPrint
