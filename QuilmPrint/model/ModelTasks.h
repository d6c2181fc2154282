// Background work of the model: a job runs on a thread pool with copies of its inputs, and its result is
// handed back on the main thread to the model, unless the model is gone by then. Whether the state the job
// was started for still holds (another printer, another photo) is for the receiving side to check.
#pragma once

#include "QuilmPrint/model/PrintModel.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThreadPool>
#include <utility>

namespace QuilmPrint {

// Hands result to done(model, result) on the main thread. Callable from any thread; the model pointer is
// only read back on the main thread, where the guard is valid.
template <typename Result, typename Done>
void deliver(const QPointer<PrintModel>& guard, Result result, Done done) {
    QCoreApplication* application = QCoreApplication::instance();
    if (!application) {
        return;
    }
    QMetaObject::invokeMethod(
        application,
        [guard, result = std::move(result), done = std::move(done)]() mutable {
            if (PrintModel* model = guard.data()) {
                done(*model, std::move(result));
            }
        },
        Qt::QueuedConnection);
}

// work() must not throw: it turns its failures into its result.
template <typename Work, typename Done>
void runInBackground(PrintModel* model, Work work, Done done,
                     QThreadPool* pool = QThreadPool::globalInstance()) {
    QPointer<PrintModel> guard(model);
    pool->start([guard, work = std::move(work), done = std::move(done)]() mutable {
        deliver(guard, work(), std::move(done));
    });
}

} // namespace QuilmPrint
