// What a job's state in CUPS means for its line in the jobs list. The watcher reads the job again and again
// while it is printing or being cancelled; once CUPS says it ended (or says it no longer knows the job) the
// line keeps its last state. While no server answers at all the job is still CUPS's (a restarted cupsd
// keeps its jobs), so the watcher keeps asking and the line says why nothing moves.
#pragma once

#include "PrintKit/printers/CupsClient.h"
#include "QuilmPrint/model/ModelRecords.h"

#include <QString>
#include <chrono>

namespace QuilmPrint::JobWatch {

inline const QString abortedMessage = QStringLiteral("프린터가 작업을 중단했습니다");
inline const QString checkPrinterNote = QStringLiteral("프린터를 확인하세요");
inline const QString unreachableNote =
    QStringLiteral("CUPS 서버에 연결할 수 없습니다. 다시 연결되면 작업 상태를 이어서 확인합니다");

// True while the job is in CUPS's hands and not yet ended.
bool isFollowed(PrintJobItem::State state);

// The job after CUPS answered with these attributes.
PrintJobItem read(PrintJobItem job, const PrintKit::JobAttributes& attributes);

// The job after the server answered without its state (it no longer knows the job): it keeps its last
// state, and the reason becomes its note. Nothing here ever turns a job into done.
PrintJobItem unreadable(PrintJobItem job, const QString& reason);

// The job while no server answers: its last state, with the note that says so.
PrintJobItem unreachable(PrintJobItem job);

// How long the watcher waits before its next reading, having waited `waited` before this one: the usual
// interval while the server answers; twice as long after each unanswered reading, up to limit, so that a
// server that stays away is not asked in a tight loop and one that comes back is noticed within seconds.
std::chrono::milliseconds nextReading(std::chrono::milliseconds waited, bool answered,
                                      std::chrono::milliseconds interval, std::chrono::milliseconds limit);

} // namespace QuilmPrint::JobWatch
