#include "ui/settings/UpdateDialogs.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include <memory>
#include <utility>

namespace korvane {

namespace {

// Narrower than this, a message box cuts its own title ("Korvane Update") short in most themes.
constexpr int minimumDialogWidth = 360;

// A modeless dialog that deletes itself when closed; any earlier one in `slot` goes first. It has a
// close button and no minimize or maximize buttons: it is a question, not a window to keep around.
QMessageBox* replaceDialog(QPointer<QMessageBox>& slot, QMessageBox::Icon icon, const QString& text,
                           const QString& informative)
{
    if (slot) {
        slot->close();
        delete slot.data();
    }
    auto* box = new QMessageBox(icon, QStringLiteral("Korvane Update"), text);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(informative);
    // The informative text carries versions and reasons that come from the network; left to guess,
    // the box would render any that look like markup as rich text.
    if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
        label->setTextFormat(Qt::PlainText);
    }
    box->setWindowModality(Qt::NonModal);
    box->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    // QMessageBox sizes itself from its texts and ignores a minimum width set on it; a spacer across
    // its grid is what it honours.
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
        grid->addItem(new QSpacerItem(minimumDialogWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    slot = box;
    return box;
}

// What the user asked for comes to the front. A scheduled offer arrives while the user works, perhaps
// dictating, in another application: it must not take the keyboard focus from it (the window
// manager is told so through the window's user time), so it is neither raised nor activated.
void present(QMessageBox* box, UpdateCheckKind origin = UpdateCheckKind::userInitiated)
{
    if (origin == UpdateCheckKind::scheduled) {
        box->setAttribute(Qt::WA_ShowWithoutActivating);
        box->show();
        return;
    }
    box->show();
    box->raise();
    box->activateWindow();
}

}  // namespace

UpdateDialogs::UpdateDialogs(UrlOpener openUrl) : openUrl_(std::move(openUrl))
{
    if (!openUrl_) {
        openUrl_ = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    }
}

UpdateDialogs::~UpdateDialogs()
{
    delete update_.data();
    delete result_.data();
    delete relaunch_.data();
}

void UpdateDialogs::offerUpdate(const UpdateOffer& offer, const std::string& currentVersion, UpdateCheckKind origin,
                                std::function<void(UpdateOfferAnswer)> answer)
{
    QMessageBox* box =
        replaceDialog(update_, QMessageBox::Information, QStringLiteral("A new version of Korvane is available"),
                      QStringLiteral("Korvane %1 is available; you have %2. Its release page tells how to install it.")
                          .arg(QString::fromStdString(offer.version), QString::fromStdString(currentVersion)));
    if (!offer.notes.empty()) {
        box->setDetailedText(QString::fromStdString(offer.notes));
    }
    QPushButton* open = box->addButton(QStringLiteral("Open Release Page"), QMessageBox::AcceptRole);
    QPushButton* skip = box->addButton(QStringLiteral("Skip This Version"), QMessageBox::DestructiveRole);
    box->addButton(QStringLiteral("Later"), QMessageBox::RejectRole);
    box->setDefaultButton(open);
    const QUrl page(QString::fromStdString(offer.releasePage), QUrl::StrictMode);
    QObject::connect(open, &QPushButton::clicked, box, [opener = openUrl_, page] {
        if (page.isValid()) {
            opener(page);
        }
    });
    // Every way of closing the dialog answers once; anything but the two buttons is "Later".
    auto pending = std::make_shared<std::function<void(UpdateOfferAnswer)>>(std::move(answer));
    QObject::connect(box, &QMessageBox::finished, box, [box, open, skip, pending] {
        if (auto reply = std::exchange(*pending, {})) {
            const QAbstractButton* clicked = box->clickedButton();
            reply(clicked == open   ? UpdateOfferAnswer::openReleasePage
                  : clicked == skip ? UpdateOfferAnswer::skipVersion
                                    : UpdateOfferAnswer::later);
        }
    });
    present(box, origin);
}

void UpdateDialogs::reportUpToDate(const std::string& currentVersion)
{
    QMessageBox* box = replaceDialog(
        result_, QMessageBox::Information, QStringLiteral("You\u2019re up to date!"),
        QStringLiteral("Korvane %1 is the newest version available.").arg(QString::fromStdString(currentVersion)));
    box->addButton(QMessageBox::Ok);
    present(box);
}

void UpdateDialogs::reportCheckFailed(const std::string& reason)
{
    QMessageBox* box =
        replaceDialog(result_, QMessageBox::Warning, QStringLiteral("Update check failed"),
                      QStringLiteral("Korvane could not check for updates: %1.").arg(QString::fromStdString(reason)));
    box->addButton(QMessageBox::Ok);
    present(box);
}

void UpdateDialogs::offerRelaunch(std::function<void(bool relaunch)> answer)
{
    QMessageBox* box = replaceDialog(
        relaunch_, QMessageBox::Question, QStringLiteral("Korvane has been updated"),
        QStringLiteral("A new version of Korvane was installed. Relaunch now to use it? A dictation in progress "
                       "is finished first."));
    QPushButton* relaunch = box->addButton(QStringLiteral("Relaunch Now"), QMessageBox::AcceptRole);
    box->addButton(QStringLiteral("Later"), QMessageBox::RejectRole);
    box->setDefaultButton(relaunch);
    // Every way of closing the dialog answers once: the button, Escape or the window's close box.
    auto pending = std::make_shared<std::function<void(bool)>>(std::move(answer));
    QObject::connect(box, &QMessageBox::finished, box, [box, relaunch, pending] {
        if (auto reply = std::exchange(*pending, {})) {
            reply(box->clickedButton() == relaunch);
        }
    });
    present(box);
}

}  // namespace korvane
