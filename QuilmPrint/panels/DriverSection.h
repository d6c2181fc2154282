// The inspector's last section: how many driver options every job of the current settings carries, and a
// popover listing exactly those options as CUPS receives them.
#pragma once

#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/panels/DriverText.h"
#include "QuilmPrint/panels/InspectorControls.h"

#include <QPointer>

class QVBoxLayout;

namespace QuilmPrint {

// The read-only list of a job's driver options: Korean names, then the raw pair. A popup window of 520 × 460
// (less where the screen has less room; the list scrolls) that closes when the user clicks elsewhere.
class DriverOptionsList : public QWidget {
    Q_OBJECT
public:
    explicit DriverOptionsList(QWidget* parent = nullptr);
    void setRows(const std::vector<DriverText::OptionRow>& rows);
    const std::vector<DriverText::OptionRow>& rows() const { return rows_; }
    // Shows the list beside `anchor`, on its leading side where there is room, inside the window when it
    // fits and always on the screen.
    void popUp(QWidget* anchor);

signals:
    void closed();

protected:
    void paintEvent(QPaintEvent*) override;
    void hideEvent(QHideEvent* event) override;

private:
    std::vector<DriverText::OptionRow> rows_;
    QWidget* list_;
    QVBoxLayout* listLayout_;
};

class DriverSection : public InspectorSection {
    Q_OBJECT
public:
    explicit DriverSection(PrintModel* model, QWidget* parent = nullptr);
    void refresh(const PrintKit::PPDFile& ppd, const Outcome<PreparedSheet>& prepared);
    // The list closes with the sheet it describes (no sheet, or the inspector showing its placeholder).
    void closeOptions();
    bool showingOptions() const { return showingOptions_; }
    DriverOptionsList* optionsList() const { return list_; }

private:
    void showOptions();

    PrintModel* model_;
    QLabel* unprepared_;
    QWidget* preparedRow_;
    QLabel* count_;
    ChipButton* show_;
    DriverOptionsList* list_;
    std::vector<DriverText::OptionRow> rows_;
    bool showingOptions_ = false;
};

} // namespace QuilmPrint
