#pragma once

#include <QWidget>

#include <functional>
#include <string>

class QLabel;
class QPushButton;
class QUrl;

namespace korvane {

class CreditsDialog;

// The About tab: the name, "Version X (build)" from the build's own values, a one-line description,
// the copyright and licence, a link to the project's home page and the "Credits…" window. Main
// thread only.
class AboutPane final : public QWidget {
    Q_OBJECT

public:
    // Opens a web address; the desktop's browser unless a test puts its own in.
    using UrlOpener = std::function<void(const QUrl& url)>;

    // Shows the running build's version values.
    explicit AboutPane(QWidget* parent = nullptr);
    AboutPane(const std::string& version, const std::string& build, UrlOpener openUrl, QWidget* parent = nullptr);

    // 480 x 190, the pane's designed size.
    QSize sizeHint() const override;

    // The link's action: opens the home page, or does nothing when its address does not parse.
    void onOpenWebsite();
    // "Credits…": the libraries Korvane is built on and their licences, in a window of its own.
    void onShowCredits();

    QLabel* nameLabel() const { return name_; }
    QLabel* versionLabel() const { return version_; }
    QLabel* descriptionLabel() const { return description_; }
    QLabel* copyrightLabel() const { return copyright_; }
    QPushButton* websiteButton() const { return website_; }
    QPushButton* creditsButton() const { return credits_; }
    CreditsDialog* creditsDialog() const { return creditsDialog_; }

private:
    UrlOpener openUrl_;
    QLabel* name_ = nullptr;
    QLabel* version_ = nullptr;
    QLabel* description_ = nullptr;
    QLabel* copyright_ = nullptr;
    QPushButton* website_ = nullptr;
    QPushButton* credits_ = nullptr;
    CreditsDialog* creditsDialog_ = nullptr;
};

}  // namespace korvane
