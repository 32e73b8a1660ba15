#pragma once

#include "core/session/SessionFacts.h"

#include <vector>

namespace korvane {

// The session's variables as this process inherited them.
SessionEnvironment currentSessionEnvironment();

// Qt's arguments for Korvane's windows: `argv` with "-platform <name>" added for this session
// (qtPlatformFor) unless the user chose one, by QT_QPA_PLATFORM or by the argument. The returned
// vector ends with a null pointer; its strings live as long as `argv`.
std::vector<char*> qtArgumentsFor(const SessionFacts& session, int argc, char** argv);

}  // namespace korvane
