// What a job's state in CUPS means for its line in the jobs list. The watcher reads the job again and again
// while it is printing or being cancelled; once CUPS says it ended (or can no longer say anything about it)
// the line keeps its last state.
#pragma once

#include "PrintKit/printers/CupsClient.h"
#include "QuilmPrint/model/ModelRecords.h"

#include <QString>

namespace QuilmPrint::JobWatch {

inline const QString abortedMessage = QStringLiteral("프린터가 작업을 중단했습니다");
inline const QString checkPrinterNote = QStringLiteral("프린터를 확인하세요");

// True while the job is in CUPS's hands and not yet ended.
bool isFollowed(PrintJobItem::State state);

// The job after CUPS answered with these attributes.
PrintJobItem read(PrintJobItem job, const PrintKit::JobAttributes& attributes);

// The job after its state could not be read (CUPS no longer knows it, or the server is gone): it keeps its
// last state, and the reason becomes its note. Nothing here ever turns a job into done.
PrintJobItem unreadable(PrintJobItem job, const QString& reason);

} // namespace QuilmPrint::JobWatch
