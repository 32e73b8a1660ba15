#pragma once

#include "transcription/models/ModelLoadFailure.h"

#include <exception>

namespace korvane {

// Sorts a failure of fetching a model file (what ModelStore::ensureModel() throws) into what the
// user is told: an unreachable server, a full disk, a damaged download, a refused or broken
// transfer, or anything else with its own description.
ModelLoadFailure modelFailureCause(const std::exception& error);

}  // namespace korvane
