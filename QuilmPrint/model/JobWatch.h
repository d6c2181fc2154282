// What a job's state in CUPS means for its line in the jobs list. The watcher reads the job again and again
// while it is printing or being cancelled, until CUPS says it ended. While no server answers at all the job
// is still CUPS's (a restarted cupsd keeps its jobs), so the watcher keeps asking and the line says why
// nothing moves. A job the server no longer knows (its spool lost in a crash, or a server that keeps no
// history) can never be learnt to end: it ends as lost, never as done, so that nothing waits on it.
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
inline const QString lostMessage = QStringLiteral("인쇄 시스템이 작업을 잃어버려 인쇄 결과를 알 수 없습니다");

// How many readings in a row may fail with some other answer of the server before the job is given up as
// lost: one odd answer is read again rather than ending a print.
inline constexpr int unreadableReadings = 4;

// True while the job is in CUPS's hands and not yet ended.
bool isFollowed(PrintJobItem::State state);

// The job after CUPS answered with these attributes.
PrintJobItem read(PrintJobItem job, const PrintKit::JobAttributes& attributes);

// The job after the server answered without its state (the failure's case and message), `failures`
// readings in a row. A job the server does not know is lost at once: failed with lostMessage, never done.
// Any other answer leaves the job its last state with the reason as its note, until the failures reach
// unreadableReadings and it is lost too.
PrintJobItem unreadable(PrintJobItem job, PrintKit::CupsClientErrorCode code, const QString& reason,
                        int failures);

// The job while no server answers: its last state, with the note that says so.
PrintJobItem unreachable(PrintJobItem job);

// How long the watcher waits before its next reading, having waited `waited` before this one: the usual
// interval while the server answers; twice as long after each unanswered reading, up to limit, so that a
// server that stays away is not asked in a tight loop and one that comes back is noticed within seconds.
std::chrono::milliseconds nextReading(std::chrono::milliseconds waited, bool answered,
                                      std::chrono::milliseconds interval, std::chrono::milliseconds limit);

} // namespace QuilmPrint::JobWatch
