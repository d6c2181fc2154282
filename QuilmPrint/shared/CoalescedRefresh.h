// A view's refresh run once per turn of the event loop, however many model changes asked for it in that
// turn: a drag step, for instance, changes the offset and the layout one after the other.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

namespace QuilmPrint {

class CoalescedRefresh {
public:
    CoalescedRefresh(QObject* owner, std::function<void()> refresh)
        : owner_(owner), refresh_(std::move(refresh)), pending_(std::make_shared<bool>(false)) {}

    void schedule() {
        if (*pending_) {
            return;
        }
        *pending_ = true;
        QTimer::singleShot(0, owner_, [pending = pending_, refresh = refresh_] {
            if (*pending) {
                *pending = false;
                refresh();
            }
        });
    }

    // Refreshes at once; a run already scheduled then has nothing left to do.
    void now() {
        *pending_ = false;
        refresh_();
    }

private:
    QObject* owner_;
    std::function<void()> refresh_;
    std::shared_ptr<bool> pending_;
};

} // namespace QuilmPrint
