#include "QuilmPrint/panels/RecipeSection.h"

#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/panels/PaperText.h"

#include <QEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <chrono>

namespace QuilmPrint {

RecipeSection::RecipeSection(PrintModel* model, QWidget* parent)
    : InspectorSection(QStringLiteral("레시피"), parent), model_(model) {
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("recipeName"));
    name_->setPlaceholderText(QStringLiteral("레시피 이름"));
    name_->setFont(Theme::font(13, QFont::DemiBold));
    name_->setFrame(false);
    name_->setTextMargins(9 - 2, 0, 9 - 2, 0);
    name_->setFixedHeight(28);
    QPalette colours = name_->palette();
    colours.setColor(QPalette::Base, Qt::transparent);
    colours.setColor(QPalette::Text, Theme::ink());
    colours.setColor(QPalette::PlaceholderText, Theme::inkTertiary());
    name_->setPalette(colours);
    name_->installEventFilter(this);
    // Every keystroke renames: the name is part of the recipe, with no separate commit.
    QObject::connect(name_, &QLineEdit::textEdited, model_,
                     [this](const QString& text) { model_->rename(text); });
    rows()->addWidget(name_);

    caption_ = helperLabel({}, this);
    caption_->setObjectName(QStringLiteral("savedCaption"));
    rows()->addWidget(caption_);
}

void RecipeSection::refresh(const PrintKit::PaperRecipe& recipe) {
    QString name = QString::fromStdString(recipe.name);
    if (name_->text() != name) {
        int cursor = name_->cursorPosition();
        name_->setText(name);
        name_->setCursorPosition(std::min(cursor, static_cast<int>(name.size())));
    }
    auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(recipe.updatedAt.time_since_epoch()).count();
    setLabelText(caption_, PaperText::savedCaption(model_->savedRecipe().has_value(), recipe.version,
                                                   QDateTime::fromSecsSinceEpoch(seconds)));
}

bool RecipeSection::eventFilter(QObject* watched, QEvent* event) {
    // The field's plate is drawn beneath the line edit's own painting.
    if (watched == name_ && event->type() == QEvent::Paint) {
        QPainter painter(name_);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::control());
        painter.drawRoundedRect(QRectF(name_->rect()), 8, 8);
    }
    return InspectorSection::eventFilter(watched, event);
}

} // namespace QuilmPrint
