#include "model/app/ModelContext.h"

#include <QCoreApplication>
#include <QEvent>
#include <QRunnable>
#include <QThread>

#include "core/base/BackgroundThread.h"
#include "core/base/HandOff.h"
#include "model/removal/TrashCan.h"

namespace tamrel {

namespace {

// A call queued for the main thread. Received (for ThreadSanitizer) where it is run, and where
// it is destroyed unrun, when the context goes first.
class CallEvent final : public QEvent {
public:
    explicit CallEvent(std::function<void()> call) : QEvent(QEvent::User), call_(std::move(call)) {}
    ~CallEvent() override { handOffReceived(this); }
    void run() { call_(); }

private:
    std::function<void()> call_;
};

// Work for a pool thread. The pool's threads are the model's background: they make way for the
// main thread as the core's own threads do (see becomeBackgroundThread), once per thread.
class Task final : public QRunnable {
public:
    explicit Task(std::function<void()> work) : work_(std::move(work)) { setAutoDelete(true); }
    void run() override {
        handOffReceived(this);
        static thread_local const bool background = (becomeBackgroundThread(), true);
        (void)background;
        work_();
    }

private:
    std::function<void()> work_;
};

void startTask(QThreadPool& pool, std::function<void()> work) {
    auto* task = new Task(std::move(work));
    handOffSent(task);
    pool.start(task);
}

}  // namespace

bool ModelContext::MainThreadCalls::event(QEvent* event) {
    handOffReceived(event);
    if (auto* call = dynamic_cast<CallEvent*>(event)) {
        call->run();
        return true;
    }
    return QObject::event(event);
}

void ModelContext::runInBackground(std::function<void()> work) {
    startTask(pool_, std::move(work));
}

void ModelContext::onMainThread(std::function<void()> call) {
    auto* event = new CallEvent(std::move(call));
    handOffSent(event);
    QCoreApplication::postEvent(&calls_, event);
}

IndexRef ModelContext::ownIndex(std::unique_ptr<DiskIndex> index) {
    if (!index) return nullptr;
    return IndexRef(index.release(), [](DiskIndex* gone) {
        const QCoreApplication* app = QCoreApplication::instance();
        if (app && QThread::currentThread() == app->thread()) {
            startTask(*QThreadPool::globalInstance(), [gone] { delete gone; });
        } else {
            delete gone;
        }
    });
}

TrashCan& ModelContext::trashCan() const {
    return options.trashCan ? *options.trashCan : TrashCan::system();
}

}  // namespace tamrel
