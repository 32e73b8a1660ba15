#pragma once

#include "base/scheduling/MainQueue.h"

#include <QObject>

namespace korvane {

// The main queue on the Qt event loop of the GUI thread: post() is a queued call, postAfter() a
// single-shot precise timer. Safe to call from any thread.
class QtMainQueue final : public MainQueue {
public:
    // `context` must live on the GUI thread; tasks still pending when it is destroyed never run.
    explicit QtMainQueue(QObject* context);

    void post(Task task) override;
    void postAfter(double seconds, Task task) override;
    bool isMainThread() const override;

private:
    QObject* context_;
};

}  // namespace korvane
