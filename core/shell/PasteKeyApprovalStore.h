#pragma once

#include "core/ports/PlatformServices.h"
#include "core/settings/AppSettings.h"

namespace korvane {

// The desktop's approval for sending keys, as the settings document keeps it.
PasteKeyApproval storedPasteKeyApproval(const AppSettings& settings);
// Keeps what the desktop answered; writes only what changed, so an answer that repeats the stored
// one costs no save.
void keepPasteKeyApproval(AppSettings& settings, const PasteKeyApproval& approval);

}  // namespace korvane
