#pragma once

#include <functional>

namespace korvane {

// A unit of deferred work. Tasks run exactly once, or never when their queue is destroyed first.
using Task = std::function<void()>;

}  // namespace korvane
