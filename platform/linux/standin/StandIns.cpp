#include "platform/linux/standin/StandIns.h"

#include "text/Graphemes.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QString>

namespace korvane {

void ClipboardOnlyDelivery::deliver(const std::string& text, const std::optional<std::string>&,
                                    std::function<void(DeliveryOutcome)> completion)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) {
        completion(DeliveryOutcome::notDelivered(DeliveryFallbackReason::noAccessibility));
        return;
    }
    clipboard->setText(QString::fromStdString(text), QClipboard::Clipboard);
    completion(DeliveryOutcome::copiedToClipboard(DeliveryFallbackReason::noAccessibility, graphemeCount(text)));
}

}  // namespace korvane
