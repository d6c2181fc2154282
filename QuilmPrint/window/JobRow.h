// One job in the jobs popover: the photo, where it went, how many copies, its state in words and colour,
// the printer's note, and a cancel button while the job can still be stopped.
#pragma once

#include "QuilmPrint/model/ModelRecords.h"

#include <QColor>
#include <QWidget>

class QLabel;

namespace QuilmPrint {

class ChipButton;
class ElidedLabel;

// What a job's state reads as, and in which colour.
QString jobStateText(const PrintJobItem& job);
QColor jobStateColour(const PrintJobItem& job);
bool jobCanBeCancelled(const PrintJobItem& job);
// The queue, the CUPS job number once there is one, and the copies: "TestbedPhoto · 작업 12 · 2부".
QString jobDetailText(const PrintJobItem& job);

class JobRow : public QWidget {
    Q_OBJECT
public:
    explicit JobRow(const PrintJobItem& job, QWidget* parent = nullptr);
    void setJob(const PrintJobItem& job);
    const PrintJobItem& job() const { return job_; }

    QString stateText() const;
    ChipButton* cancelButton() const { return cancel_; }

signals:
    void cancelRequested(const QUuid& job);

private:
    PrintJobItem job_;
    ElidedLabel* name_;
    ElidedLabel* detail_;
    QLabel* state_;
    QLabel* note_;
    ChipButton* cancel_;
};

} // namespace QuilmPrint
