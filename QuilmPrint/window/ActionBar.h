// The bar under the sheet preview: what will print (or why nothing can), the copy count, the PDF export, the
// jobs button with its popover, and the prominent print button.
#pragma once

#include "QuilmPrint/shared/CoalescedRefresh.h"

#include <QWidget>
#include <optional>

namespace QuilmPrint {

class ChipButton;
class CountField;
class ElidedLabel;
class JobsPanel;
class PrintModel;

// Why printing (and exporting) cannot start now; nothing when it can.
std::optional<QString> printBlockReason(const PrintModel& model);
// The sheets a print would make: one per photo, or one per grid page.
int sheetCount(const PrintModel& model);
// What a print would make, on which printer: "3장 · EPSON SC-P900 Series", with "× 2부" for copies.
QString printSummary(const PrintModel& model);
// Jobs not yet at their end, and whether one of them is being rendered or sent now.
int activeJobCount(const PrintModel& model);
bool jobBeingPrepared(const PrintModel& model);

class ActionBar : public QWidget {
    Q_OBJECT
public:
    explicit ActionBar(PrintModel* model, QWidget* parent = nullptr);

    QString statusText() const;
    QColor statusColour() const;
    ChipButton* printButton() const { return print_; }
    ChipButton* exportButton() const { return export_; }
    ChipButton* jobsButton() const { return jobs_; }
    CountField* copiesBox() const { return copies_; }
    JobsPanel* jobsPanel() const { return panel_; }

    void showJobs();
    void exportPDFs();

private:
    void refresh();

    PrintModel* model_;
    ElidedLabel* status_;
    CountField* copies_;
    ChipButton* export_;
    ChipButton* jobs_;
    ChipButton* print_;
    JobsPanel* panel_ = nullptr;
    CoalescedRefresh refresh_{this, [this] { refresh(); }};
};

} // namespace QuilmPrint
