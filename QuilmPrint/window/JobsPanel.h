// The jobs popover of the action bar: every job of this run, newest last, as it moves from waiting to done.
#pragma once

#include "QuilmPrint/model/ModelRecords.h"

#include <QPointer>
#include <QUuid>
#include <QWidget>
#include <vector>

class QLabel;
class QScrollArea;
class QVBoxLayout;

namespace QuilmPrint {

class JobRow;
class PrintModel;

class JobsPanel : public QWidget {
    Q_OBJECT
public:
    explicit JobsPanel(PrintModel* model, QWidget* parent = nullptr);

    // Opens above `anchor`, its right edge on the anchor's right edge (below it when there is no room above),
    // on the screen; the rows scroll when neither side has room for all of them.
    void popup(QWidget* anchor);
    // One row per job, in place where the list keeps its jobs; the model's list whenever it changes. Open,
    // the popover takes the rows' new height.
    void setJobs(const std::vector<PrintJobItem>& jobs);

    const std::vector<JobRow*>& rows() const { return rows_; }
    bool showsEmptyNote() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void refresh();
    // Sizes the panel for its rows at the width they are shown at, the list at most `listLimit` high.
    void fit(int listLimit);
    void place();

    PrintModel* model_;
    QPointer<QWidget> anchor_;
    QLabel* empty_;
    QScrollArea* scroll_;
    QWidget* list_;
    QVBoxLayout* listLayout_;
    std::vector<JobRow*> rows_;
    std::vector<QUuid> shown_;
};

} // namespace QuilmPrint
