// The right column of the main window: the working recipe of the selected printer (name, paper, colour), the
// layout of the sheet and the driver options a job carries. It shows a placeholder until there is a recipe
// and a printer whose PPD could be read. Every control calls one model operation; model changes refresh the
// controls in place, once per turn of the event loop, so a field being typed in keeps its focus and cursor.
#pragma once

#include <QWidget>

class QLabel;
class QScrollArea;

namespace QuilmPrint {

class PrintModel;
class RecipeSection;
class PaperSection;
class ColorSection;
class LayoutSection;
class DriverSection;

class RecipeInspector : public QWidget {
    Q_OBJECT
public:
    explicit RecipeInspector(PrintModel* model, QWidget* parent = nullptr);

    // The placeholder's text while it is shown; empty while the sections are.
    QString placeholder() const;
    DriverSection* driverSection() const { return driver_; }
    // As wide as the widest row of controls plus a scroll bar, so no control is cut off.
    QSize minimumSizeHint() const override;

private:
    void scheduleRefresh();
    void refresh();

    PrintModel* model_;
    QLabel* placeholder_;
    QScrollArea* scroll_;
    RecipeSection* recipe_;
    PaperSection* paper_;
    ColorSection* color_;
    LayoutSection* layout_;
    DriverSection* driver_;
    bool refreshPending_ = false;
};

} // namespace QuilmPrint
