#include "ui/settings/AboutPane.h"

#include "base/version/BuildVersion.h"
#include "core/updates/ProjectAddresses.h"
#include "core/updates/UpdateFeed.h"
#include "ui/settings/CreditsDialog.h"
#include "ui/settings/SettingsLook.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace korvane {

namespace {

QLabel* centredLabel(const QString& text, const QFont& font, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFont(font);
    // At most two lines each.
    label->setMaximumHeight(QFontMetrics(font).lineSpacing() * 2 + 2);
    return label;
}

}  // namespace

AboutPane::AboutPane(QWidget* parent)
    : AboutPane(std::string(korvaneVersion()), std::string(korvaneBuild()), {}, parent)
{
}

AboutPane::AboutPane(const std::string& version, const std::string& build, UrlOpener openUrl, QWidget* parent)
    : QWidget(parent), openUrl_(std::move(openUrl))
{
    if (!openUrl_) {
        openUrl_ = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    }
    name_ = centredLabel(QStringLiteral("Korvane"), settingslook::scaledFont(font(), 18, QFont::Bold), this);
    version_ =
        centredLabel(QString::fromStdString(versionText(version, build)), settingslook::scaledFont(font(), 12), this);
    description_ = centredLabel(QStringLiteral("Local speech-to-text dictation for Linux,\npowered by Whisper."),
                                settingslook::scaledFont(font(), 12), this);
    copyright_ = centredLabel(QStringLiteral("\u00a9 2026 The Korvane developers\nReleased under the MIT licence"),
                              settingslook::scaledFont(font(), 11), this);
    settingslook::setTextColour(*copyright_, settingslook::secondaryText(copyright_->palette()));

    website_ = new QPushButton(QString::fromStdString(urlHost(ProjectAddresses::homePage)), this);
    website_->setFlat(true);
    website_->setCursor(Qt::PointingHandCursor);
    website_->setFont(settingslook::scaledFont(font(), 12));
    QPalette link = website_->palette();
    link.setColor(QPalette::ButtonText, link.color(QPalette::Link));
    website_->setPalette(link);
    connect(website_, &QPushButton::clicked, this, &AboutPane::onOpenWebsite);

    credits_ = new QPushButton(QStringLiteral("Credits\u2026"), this);
    connect(credits_, &QPushButton::clicked, this, &AboutPane::onShowCredits);

    auto* linkRow = new QHBoxLayout;
    linkRow->addStretch();
    linkRow->addWidget(website_);
    linkRow->addWidget(credits_);
    linkRow->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(6);
    layout->addWidget(name_);
    layout->addWidget(version_);
    layout->addSpacing(4);
    layout->addWidget(description_);
    layout->addWidget(copyright_);
    layout->addStretch();
    layout->addLayout(linkRow);
}

QSize AboutPane::sizeHint() const
{
    return {480, 190};
}

void AboutPane::onOpenWebsite()
{
    const QUrl url(
        QString::fromUtf8(ProjectAddresses::homePage.data(), static_cast<qsizetype>(ProjectAddresses::homePage.size())),
        QUrl::StrictMode);
    if (url.isValid() && url.scheme() == QLatin1String("https")) {
        openUrl_(url);
    }
}

void AboutPane::onShowCredits()
{
    if (creditsDialog_ == nullptr) {
        creditsDialog_ = new CreditsDialog(this);
    }
    creditsDialog_->show();
    creditsDialog_->raise();
    creditsDialog_->activateWindow();
}

}  // namespace korvane
