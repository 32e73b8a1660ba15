#include "core/shell/PasteKeyApprovalStore.h"

namespace korvane {

PasteKeyApproval storedPasteKeyApproval(const AppSettings& settings)
{
    return {settings.remoteDesktopRestoreToken(), settings.remoteDesktopRefused()};
}

void keepPasteKeyApproval(AppSettings& settings, const PasteKeyApproval& approval)
{
    const PasteKeyApproval stored = storedPasteKeyApproval(settings);
    if (approval.restoreToken != stored.restoreToken) {
        settings.setRemoteDesktopRestoreToken(approval.restoreToken);
    }
    if (approval.refused != stored.refused) {
        settings.setRemoteDesktopRefused(approval.refused);
    }
}

}  // namespace korvane
