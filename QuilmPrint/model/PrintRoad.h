// The print road's share of the model's state: the sheets waiting for the one background task that renders
// and sends them, what that task shares with the main thread about each job, and the borderless expansions
// being measured. Only the model's own source files include this.
#pragma once

#include "QuilmPrint/model/ModelTasks.h"
#include "QuilmPrint/model/SheetWork.h"

#include <QString>
#include <QThreadPool>
#include <QUuid>
#include <atomic>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace QuilmPrint {

// Runs call(model) on the main thread later, unless the model is gone by then. Callable from any thread.
template <typename Call> void post(const QPointer<PrintModel>& guard, Call call) {
    deliver(guard, 0, [call = std::move(call)](PrintModel& model, int) mutable { call(&model); });
}

// The one thread that renders and sends sheets, strictly one after another, below the windows' priority.
QThreadPool* printRoadPool();

// Shared by the main thread and the task that carries one job's sheet. The stage only moves forward, and
// exactly one side wins each move: a job cancelled before the task reaches CUPS is never submitted, and a
// job the task has started sending is cancelled through CUPS once its id is known.
struct JobControl {
    enum Stage : int { waiting, rendering, sending, submitted, stopped };

    std::atomic<int> stage{waiting};
    std::atomic<bool> cancelAsked{false};

    bool move(Stage from, Stage to) {
        int expected = from;
        return stage.compare_exchange_strong(expected, to);
    }
};

// One export: the sheets of one call, counted as they end (main thread only).
struct ExportRun {
    std::filesystem::path folder;
    int sheets = 0;
    int ended = 0;
    std::vector<std::filesystem::path> written;
    QString firstError;
};

struct RoadSheet {
    SheetWork work;
    QUuid job;                            // null for an exported sheet
    std::shared_ptr<JobControl> control;  // for a job
    std::shared_ptr<ExportRun> exportRun; // for an exported sheet
};

// What the task reports when one sheet has ended.
struct SheetEnd {
    int cupsJobID = 0;
    QString error;
    bool stopped = false;           // cancelled before it reached CUPS, or the model went away
    std::filesystem::path exported; // the exported file
};

// Raised when the model goes away, so that long calls (a discovery run, a download) end early.
struct StopFlag {
    std::shared_ptr<std::atomic<bool>> flag = std::make_shared<std::atomic<bool>>(false);

    StopFlag() = default;
    StopFlag(const StopFlag&) = delete;
    StopFlag& operator=(const StopFlag&) = delete;
    ~StopFlag() { *flag = true; }
};

struct PrintRoad {
    std::deque<RoadSheet> waiting;
    bool sheetOnItsWay = false;
    std::map<QUuid, std::shared_ptr<JobControl>> controls;
    std::set<QUuid> watched;            // jobs whose next reading is scheduled or running
    std::set<QUuid> cancelling;         // jobs whose cancel request is on its way to CUPS
    std::set<QUuid> cancelOwed;         // … whose cancel found no server: sent again once one answers
    std::map<QUuid, int> failedReadings; // jobs whose last readings the server answered without their state
    std::set<std::string> measuring;    // "queue.pageSize" of the expansions being measured
    std::set<std::string> unmeasurable; // … and of those that could not be measured in this run

    PrintRoad() = default;
    PrintRoad(const PrintRoad&) = delete;
    PrintRoad& operator=(const PrintRoad&) = delete;

    // The model is going away: no job that has not reached CUPS yet ever will.
    ~PrintRoad() {
        for (auto& [id, control] : controls) {
            control->move(JobControl::waiting, JobControl::stopped);
            control->move(JobControl::rendering, JobControl::stopped);
        }
    }
};

} // namespace QuilmPrint
