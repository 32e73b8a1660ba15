#pragma once

#include "base/scheduling/Task.h"

namespace korvane {

// Where slow work runs: model downloads and loads, transcription, accessibility preparation.
// Tasks may run concurrently with each other; results go back through MainQueue::post().
class BackgroundQueue {
public:
    virtual ~BackgroundQueue() = default;
    virtual void post(Task task) = 0;
};

}  // namespace korvane
