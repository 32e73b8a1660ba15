#pragma once

#include "core/updates/UpdatePrompts.h"

#include <QPointer>

#include <functional>

class QMessageBox;
class QUrl;

namespace korvane {

// The update controller's dialogs on the desktop: a newer version (with "Open Release Page" and
// "Skip This Version"), the answers to "Check Now…", and the offer to relaunch into a newly
// installed version. Dialogs are modeless, so dictation and the tray keep working while one is
// open; a new dialog of a kind replaces one still open. An offer from a scheduled check appears
// without taking the focus. Main thread only.
class UpdateDialogs final : public UpdatePrompts {
public:
    using UrlOpener = std::function<void(const QUrl& url)>;

    // `openUrl` opens the release page; the desktop's browser when not given.
    explicit UpdateDialogs(UrlOpener openUrl = {});
    ~UpdateDialogs() override;

    UpdateDialogs(const UpdateDialogs&) = delete;
    UpdateDialogs& operator=(const UpdateDialogs&) = delete;

    void offerUpdate(const UpdateOffer& offer, const std::string& currentVersion, UpdateCheckKind origin,
                     std::function<void(UpdateOfferAnswer)> answer) override;
    void reportUpToDate(const std::string& currentVersion) override;
    void reportCheckFailed(const std::string& reason) override;
    void offerRelaunch(std::function<void(bool relaunch)> answer) override;

    // The dialogs now open, for tests.
    QMessageBox* updateDialog() const { return update_; }
    QMessageBox* resultDialog() const { return result_; }
    QMessageBox* relaunchDialog() const { return relaunch_; }

private:
    UrlOpener openUrl_;
    QPointer<QMessageBox> update_;
    QPointer<QMessageBox> result_;
    QPointer<QMessageBox> relaunch_;
};

}  // namespace korvane
