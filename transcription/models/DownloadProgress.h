#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>

namespace korvane {

// Turns the byte count of one download into whole percentages of the catalogue size (never of the
// length a server announces) and reports each percentage once, as soon as it is reached. Capped at
// 100, so a server that sends more than expected cannot push it past the end.
class DownloadProgress {
public:
    DownloadProgress(std::int64_t expectedBytes, std::function<void(int)> onPercent)
        : expectedBytes_(expectedBytes), onPercent_(std::move(onPercent))
    {
    }

    void bytesReceived(std::int64_t received)
    {
        const std::int64_t percent =
            expectedBytes_ > 0 ? std::min<std::int64_t>(received * 100 / expectedBytes_, 100) : 100;
        if (percent == lastReported_) {
            return;
        }
        lastReported_ = percent;
        if (onPercent_) {
            onPercent_(static_cast<int>(percent));
        }
    }

private:
    std::int64_t expectedBytes_;
    std::function<void(int)> onPercent_;
    std::int64_t lastReported_ = -1;
};

}  // namespace korvane
