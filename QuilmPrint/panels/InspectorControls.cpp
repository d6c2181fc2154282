#include "QuilmPrint/panels/InspectorControls.h"

#include "QuilmPrint/panels/NumberText.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>

namespace QuilmPrint {

namespace {
constexpr int controlHeight = 26;
constexpr double rowLabelPixels = 12.5;
} // namespace

// ---- Section ----

InspectorSection::InspectorSection(const QString& title, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 14 + 1);
    layout->setSpacing(10);
    title_ = new QLabel(title, this);
    TextStyle::sectionTitle(title_);
    layout->addWidget(title_);
    rows_ = new QVBoxLayout;
    rows_->setContentsMargins(0, 0, 0, 0);
    rows_->setSpacing(10);
    layout->addLayout(rows_);
    // Not Maximum: a section whose help lines wrap needs more height than its one-line size hint, and a
    // maximum there squeezes its rows over each other. The column ends in a stretch that takes the rest.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

QString InspectorSection::title() const {
    return title_->text();
}

void InspectorSection::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(QRect(0, height() - 1, width(), 1), Theme::hairline());
}

// ---- Rows and labels ----

QWidget* labeledRow(const QString& title, std::initializer_list<QWidget*> content, int spacing,
                    QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    auto* label = new QLabel(title, row);
    label->setFont(Theme::font(rowLabelPixels));
    setTextColour(label, Theme::inkSecondary());
    label->setFixedWidth(rowLabelWidth);
    label->setObjectName(QStringLiteral("rowLabel"));
    layout->addWidget(label, 0, Qt::AlignVCenter);
    auto* inner = new QHBoxLayout;
    inner->setContentsMargins(0, 0, 0, 0);
    inner->setSpacing(spacing);
    for (QWidget* widget : content) {
        widget->setParent(row);
        inner->addWidget(widget, 0, Qt::AlignVCenter);
    }
    layout->addLayout(inner, 0);
    layout->addStretch(1);
    return row;
}

QLabel* helperLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    TextStyle::helper(label);
    return label;
}

QLabel* warningLabel(const QString& text, QWidget* parent) {
    auto* label = helperLabel(text, parent);
    setTextColour(label, Theme::warn());
    return label;
}

QLabel* unitLabel(const QString& text, bool captionFont, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    if (captionFont)
        label->setFont(TextStyle::helperFont());
    setTextColour(label, Theme::inkTertiary());
    return label;
}

void setLabelText(QLabel* label, const QString& text) {
    if (label->text() != text)
        label->setText(text);
}

void setLabelColour(QLabel* label, const QColor& colour) {
    if (label->palette().color(QPalette::WindowText) != colour)
        setTextColour(label, colour);
}

// ---- Chips ----

ChipRow::ChipRow(const std::vector<QString>& titles, QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    for (std::size_t index = 0; index < titles.size(); ++index) {
        auto* chip =
            new ChipButton(titles[index], ChipStyle{false, Theme::inkSecondary(), controlHeight}, this);
        QObject::connect(chip, &QPushButton::clicked, this,
                         [this, index] { emit chosen(static_cast<int>(index)); });
        layout->addWidget(chip, 0, Qt::AlignVCenter);
        chips_.push_back(chip);
    }
    layout->addStretch(1); // chips are as wide as their titles, never spread over the row
    setSelected(-1);
}

void ChipRow::setSelected(int index) {
    if (index == selected_)
        return;
    selected_ = index;
    for (std::size_t i = 0; i < chips_.size(); ++i) {
        bool on = static_cast<int>(i) == index;
        chips_[i]->setChipStyle(ChipStyle{on, on ? Theme::ink() : Theme::inkSecondary(), controlHeight});
    }
}

void ChipRow::setChipEnabled(int index, bool enabled) {
    ChipButton* button = chip(index);
    if (button->isEnabled() != enabled)
        button->setEnabled(enabled);
}

// ---- Menu chip ----

MenuChip::MenuChip(std::function<MenuEntries()> entries, std::function<void(const QString&)> choose,
                   QWidget* parent)
    : ChipButton({}, ChipStyle{true, Theme::inkSecondary(), controlHeight}, parent), menu_(new QMenu(this)),
      entries_(std::move(entries)), choose_(std::move(choose)) {
    setMenuLabel(MenuChipLabel{std::nullopt, {}, QFont::Normal, Qt::ElideRight});
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // A menu shows every heading its entries name, even one with no item under it ("모든 프린터 프로파일"
    // with no profile left to list); Qt would otherwise hide a heading that ends the menu.
    menu_->setSeparatorsCollapsible(false);
    setMenu(menu_);
    // Filled when it opens, so it lists what is true then.
    QObject::connect(menu_, &QMenu::aboutToShow, this, &MenuChip::fillMenu);
}

void MenuChip::setTitle(const QString& title) {
    // An empty menu would open as a sliver that shows nothing and takes the next click.
    const MenuEntries entries = entries_();
    const bool offers = std::any_of(entries.begin(), entries.end(), [](const MenuEntry& entry) {
        return entry.kind == MenuEntry::Kind::item;
    });
    if (isEnabled() != offers)
        setEnabled(offers);
    if (menuLabel() && menuLabel()->text == title)
        return;
    MenuChipLabel label = menuLabel().value_or(MenuChipLabel{});
    label.text = title;
    setMenuLabel(label);
    setAccessibleName(title);
}

QString MenuChip::title() const {
    return menuLabel() ? menuLabel()->text : QString();
}

void MenuChip::fillMenu() {
    menu_->clear();
    for (const MenuEntry& entry : entries_()) {
        switch (entry.kind) {
        case MenuEntry::Kind::section:
            menu_->addSection(entry.title);
            break;
        case MenuEntry::Kind::divider:
            menu_->addSeparator();
            break;
        case MenuEntry::Kind::item: {
            QAction* action = menu_->addAction(entry.title);
            action->setEnabled(entry.enabled);
            QObject::connect(action, &QAction::triggered, this, [this, id = entry.id] { choose_(id); });
            break;
        }
        }
    }
}

// ---- Number field ----

NumberField::NumberField(std::function<double()> value, std::function<void(double)> commit,
                         QString identityPrefix, QWidget* parent)
    : QLineEdit(parent), value_(std::move(value)), commit_(std::move(commit)),
      prefix_(std::move(identityPrefix)) {
    setFont(Theme::monospacedFont(12));
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setFrame(false);
    setTextMargins(8 - 2, 0, 8 - 2, 0); // the line edit keeps 2 px of its own on each side
    setFixedSize(62, 26);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::transparent);
    colours.setColor(QPalette::Text, Theme::ink());
    setPalette(colours);
    QObject::connect(this, &QLineEdit::textEdited, this, [this] { typing_ = true; });
    QObject::connect(this, &QLineEdit::editingFinished, this, &NumberField::commitTyping);
    refresh();
}

void NumberField::refresh() {
    double value = value_();
    QString identity = prefix_.isEmpty() ? QString() : NumberText::identity(prefix_, value);
    if (identity != identity_) {
        // A new value from elsewhere (a clamp, a preset, a drag): whatever was being typed is void.
        identity_ = identity;
        typing_ = false;
    }
    if (!typing_)
        show(value);
}

void NumberField::show(double value) {
    QString text = NumberText::format(value);
    if (this->text() != text)
        setText(text);
}

void NumberField::commitTyping() {
    if (!typing_)
        return;
    typing_ = false;
    if (auto value = NumberText::parse(text()))
        commit_(*value);
    refresh();
}

void NumberField::paintEvent(QPaintEvent* event) {
    {
        QPainter painter(this);
        paintFieldPlate(painter, QRectF(rect()));
    }
    QLineEdit::paintEvent(event);
}

} // namespace QuilmPrint
