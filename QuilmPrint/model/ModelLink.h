// How background work hands its results to an object on the main thread that may be gone by then. A QPointer
// read on a worker thread races the object's destruction; the link is shared by the work and the owner, and
// once the owner has severed it (in its destructor, on the main thread) nothing more is posted. Results posted
// before that are dropped with the object's other pending events.
#pragma once

#include <QMetaObject>
#include <QObject>

#include <memory>
#include <mutex>
#include <utility>

namespace QuilmPrint {

class ModelLink {
public:
    explicit ModelLink(QObject* target) : target_(target) {}

    static std::shared_ptr<ModelLink> make(QObject* target) { return std::make_shared<ModelLink>(target); }

    // Runs `call` on the target's thread later, unless the target is gone. Callable from any thread.
    template <typename Call>
    void post(Call&& call) {
        std::lock_guard lock(mutex_);
        if (target_) {
            QMetaObject::invokeMethod(target_, std::forward<Call>(call), Qt::QueuedConnection);
        }
    }

    void sever() {
        std::lock_guard lock(mutex_);
        target_ = nullptr;
    }

    bool severed() {
        std::lock_guard lock(mutex_);
        return target_ == nullptr;
    }

private:
    std::mutex mutex_;
    QObject* target_;
};

} // namespace QuilmPrint
