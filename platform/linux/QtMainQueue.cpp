#include "platform/linux/QtMainQueue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <utility>

namespace korvane {

QtMainQueue::QtMainQueue(QObject* context) : context_(context)
{
}

void QtMainQueue::post(Task task)
{
    QMetaObject::invokeMethod(
        context_, [task = std::move(task)] { task(); }, Qt::QueuedConnection);
}

void QtMainQueue::postAfter(double seconds, Task task)
{
    if (seconds <= 0.0) {
        post(std::move(task));
        return;
    }
    const auto delay = std::chrono::milliseconds(static_cast<long long>(std::llround(seconds * 1000.0)));
    // QTimer::singleShot must be called on a thread with an event loop; hop to the GUI thread first.
    post([context = context_, delay, task = std::move(task)]() mutable {
        QTimer::singleShot(delay, Qt::PreciseTimer, context, [task = std::move(task)] { task(); });
    });
}

bool QtMainQueue::isMainThread() const
{
    return QThread::currentThread() == context_->thread();
}

}  // namespace korvane
