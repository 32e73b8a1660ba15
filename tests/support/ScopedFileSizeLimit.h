// SPDX-License-Identifier: MIT
// Lowers this process's file-size limit (ulimit -f) while it lives, with SIGXFSZ ignored, so that a
// write past it fails with EFBIG: as a write to a full disk fails with ENOSPC, but without a full disk
// and whatever the user's permissions (root writes anywhere).
#pragma once

#include <sys/resource.h>

#include <csignal>

namespace korvane::testing {

class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(rlim_t bytes) : previousHandler_(std::signal(SIGXFSZ, SIG_IGN))
    {
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        const rlimit lowered{bytes, previous_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~ScopedFileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    rlimit previous_{};
    void (*previousHandler_)(int);
};

}  // namespace korvane::testing
