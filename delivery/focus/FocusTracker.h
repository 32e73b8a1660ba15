#pragma once

#include "base/logging/LogSink.h"
#include "delivery/focus/ActiveApplicationSource.h"
#include "delivery/focus/FocusTracking.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace korvane {

// Remembers which other application was last brought to the front, so that a dictation knows where
// its transcript belongs. Korvane's own windows never count: neither a window of this process nor
// one carrying our own class. Created and fed on the main thread; lastBundleId() from any thread.
class FocusTracker final : public FocusTracking {
public:
    struct Self {
        long processId = 0;
        std::string bundleId;  // our own window class
    };

    // Seeds the last application with the one in front now (unless it is ours) and listens for
    // activations until destroyed. `source` must outlive the tracker.
    FocusTracker(ActiveApplicationSource& source, Self self);
    ~FocusTracker() override;

    FocusTracker(const FocusTracker&) = delete;
    FocusTracker& operator=(const FocusTracker&) = delete;

    std::optional<std::string> lastBundleId() const override;

    // True exactly when the application in front at this moment has that identifier.
    bool isFrontmost(const std::string& bundleId) const;

private:
    bool isOurs(const ActiveApplication& application) const;
    void appDidActivate(const std::optional<ActiveApplication>& application);

    ActiveApplicationSource& source_;
    const Self self_;
    mutable std::mutex lock_;
    std::optional<std::string> lastBundleId_;
};

}  // namespace korvane
