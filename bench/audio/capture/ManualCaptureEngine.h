#pragma once

#include "audio/capture/CaptureEngine.h"

#include <memory>
#include <utility>

namespace korvane::bench {

// An engine whose blocks come from the benchmark itself, so the recorder's own cost is measured
// without a sound server. The benchmark keeps `handler` through the shared pointer.
class ManualCaptureEngine final : public CaptureEngine {
public:
    struct Shared {
        CaptureFormat format;
        BlockHandler handler;
    };

    explicit ManualCaptureEngine(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}

    CaptureFormat inputFormat() override { return shared_->format; }
    void startCapture(const CaptureFormat&, BlockHandler onBlock) override { shared_->handler = std::move(onBlock); }
    // The benchmark records from the default input only.
    std::optional<InputSourceDescription> describeSource(const std::string&) override
    {
        return InputSourceDescription{"bench", shared_->format, {}, {}};
    }
    void startCaptureFrom(const CaptureSource&, const CaptureFormat&, BlockHandler onBlock) override
    {
        shared_->handler = std::move(onBlock);
    }
    void stopCapture() override { shared_->handler = nullptr; }
    void setConfigurationChangeHandler(std::function<void()>) override {}

private:
    std::shared_ptr<Shared> shared_;
};

}  // namespace korvane::bench
