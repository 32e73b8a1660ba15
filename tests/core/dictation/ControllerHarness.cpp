#include "tests/core/dictation/ControllerHarness.h"

#include <utility>

namespace korvane::testing {

ControllerHarness::ControllerHarness(const std::string& modelName, ModelNameRule modelNames)
{
    DictationCollaborators collaborators;
    collaborators.mainQueue = mainQueue;
    collaborators.backgroundQueue = backgroundQueue;
    collaborators.recorder = recorder;
    collaborators.transcriber = transcriber;
    collaborators.cleaner = cleaner;
    collaborators.focusTracker = focusTracker;
    collaborators.accessibility = accessibility;
    collaborators.delivery = delivery;
    collaborators.log = RecordingLog::sinkFor(log);
    collaborators.modelNames = std::move(modelNames);
    collaborators.unloadModelAfterMinutes = [minutes = unloadMinutes] { return *minutes; };
    collaborators.clock = [queue = std::weak_ptr<VirtualMainQueue>(mainQueue)] {
        const auto alive = queue.lock();
        return alive ? alive->now() : 0.0;
    };
    controller = DictationController::create(modelName, std::move(collaborators));
    controller->setOnStatusChange([sink = statuses](const DictationStatus& status) { sink->push_back(status); });
}

void ControllerHarness::settle()
{
    while (mainQueue->runUntilIdle() + backgroundQueue->runAll() > 0) {
    }
}

void ControllerHarness::loadInitialModel()
{
    controller->preloadModel(controller->currentModelName());
    settle();
    statuses->clear();
    log->clear();
}

void ControllerHarness::finishStopTail()
{
    mainQueue->advance(DictationController::kStopTail);
    settle();
}

std::vector<DictationStatus> ControllerHarness::takeStatuses()
{
    return std::exchange(*statuses, {});
}

}  // namespace korvane::testing
