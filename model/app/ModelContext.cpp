#include "model/app/ModelContext.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include "model/removal/TrashCan.h"

namespace tamrel {

void ModelContext::runInBackground(std::function<void()> work) {
    pool_.start(std::move(work));
}

void ModelContext::onMainThread(std::function<void()> call) {
    QMetaObject::invokeMethod(&calls_, std::move(call), Qt::QueuedConnection);
}

IndexRef ModelContext::ownIndex(std::unique_ptr<DiskIndex> index) {
    if (!index) return nullptr;
    return IndexRef(index.release(), [](DiskIndex* gone) {
        const QCoreApplication* app = QCoreApplication::instance();
        if (app && QThread::currentThread() == app->thread()) {
            QThreadPool::globalInstance()->start([gone] { delete gone; });
        } else {
            delete gone;
        }
    });
}

TrashCan& ModelContext::trashCan() const {
    return options.trashCan ? *options.trashCan : TrashCan::system();
}

}  // namespace tamrel
