// The building blocks every section of the recipe inspector is made of: the titled section with its closing
// hairline, the labelled row, a row of choice chips, the menu chip whose menu is filled each time it opens,
// the compact number field, and the caption labels. They hold no settings of their own: a section tells them
// what to show on each refresh and hands what the user chose to one model operation.
#pragma once

#include "QuilmPrint/panels/MenuEntry.h"
#include "QuilmPrint/shared/Controls.h"

#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <functional>
#include <initializer_list>
#include <optional>
#include <vector>

class QMenu;
class QVBoxLayout;

namespace QuilmPrint {

// A titled group of rows, 16 px in from the sides and 14 from top and bottom, ending in a hairline.
class InspectorSection : public QWidget {
    Q_OBJECT
public:
    explicit InspectorSection(const QString& title, QWidget* parent = nullptr);
    QVBoxLayout* rows() const { return rows_; }
    QString title() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QLabel* title_;
    QVBoxLayout* rows_;
};

// The label column's width: rows with an empty label line their controls up with the labelled ones.
inline constexpr int rowLabelWidth = 58;

// A row: the label (58 px, may be empty), the widgets `spacing` apart, then free space.
QWidget* labeledRow(const QString& title, std::initializer_list<QWidget*> content, int spacing = 6,
                    QWidget* parent = nullptr);

// Help text under a setting: 11 px, tertiary ink, wrapping.
QLabel* helperLabel(const QString& text = {}, QWidget* parent = nullptr);
// A warning under a setting: 11 px in the warning colour, wrapping.
QLabel* warningLabel(const QString& text = {}, QWidget* parent = nullptr);
// A small fixed text beside a field ("×", "mm").
QLabel* unitLabel(const QString& text, bool captionFont, QWidget* parent = nullptr);

// Changes a label's text only when it differs, so an unchanged refresh does not relayout.
void setLabelText(QLabel* label, const QString& text);
void setLabelColour(QLabel* label, const QColor& colour);

// One chip per choice, 6 px apart. The selected chip is filled and drawn in full ink; choosing any chip, the
// selected one included, emits `chosen`.
class ChipRow : public QWidget {
    Q_OBJECT
public:
    ChipRow(const std::vector<QString>& titles, QWidget* parent = nullptr);
    void setSelected(int index); // -1: none
    int selected() const { return selected_; }
    void setChipEnabled(int index, bool enabled);
    ChipButton* chip(int index) const { return chips_.at(static_cast<std::size_t>(index)); }
    int count() const { return static_cast<int>(chips_.size()); }

signals:
    void chosen(int index);

private:
    std::vector<ChipButton*> chips_;
    int selected_ = -2;
};

// A filled chip showing the current value with a chevron; its menu is made from `entries()` each time it
// opens, and an item's id goes to `choose`.
class MenuChip : public ChipButton {
    Q_OBJECT
public:
    MenuChip(std::function<MenuEntries()> entries, std::function<void(const QString&)> choose,
             QWidget* parent = nullptr);
    // Shows the current value; the chip is enabled only while its menu would offer something to choose.
    void setTitle(const QString& title);
    QString title() const;
    // Fills the menu from the current entries, as opening it does.
    void fillMenu();

private:
    QMenu* menu_;
    std::function<MenuEntries()> entries_;
    std::function<void(const QString&)> choose_;
};

// The compact number field: 62 × 26, monospaced digits aligned right, at most one decimal. It writes to its
// setter when the typing is committed (return, or leaving the field); text that is no number changes nothing.
// A field with an identity prefix drops its typing and shows the model's value whenever the identity (the
// prefix and the value's tenths) changes.
class NumberField : public QLineEdit {
    Q_OBJECT
public:
    NumberField(std::function<double()> value, std::function<void(double)> commit,
                QString identityPrefix = {}, QWidget* parent = nullptr);
    // Shows the model's value unless the user is typing into a field whose identity still holds.
    void refresh();
    const QString& identity() const { return identity_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void commitTyping();
    void show(double value);

    std::function<double()> value_;
    std::function<void(double)> commit_;
    QString prefix_;
    QString identity_;
    bool typing_ = false;
};

} // namespace QuilmPrint
