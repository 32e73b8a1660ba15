#include "ui/settings/CreditsDialog.h"

#include "base/version/Credits.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include <array>

namespace korvane {

namespace {

QString fromView(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CreditsDialog::CreditsDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Credits \u2014 Korvane"));
    setWindowFlags((windowFlags() | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint) &
                   ~(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowContextHelpButtonHint));

    auto* intro = new QLabel(QStringLiteral("Korvane is released under the %1 licence. It is built on these "
                                            "libraries, used under their own licences:")
                                 .arg(fromView(korvaneLicence)),
                             this);
    intro->setWordWrap(true);
    intro->setTextFormat(Qt::PlainText);

    const auto credits = thirdPartyCredits();
    table_ = new QTableWidget(static_cast<int>(credits.size()), 4, this);
    table_->setHorizontalHeaderLabels({QStringLiteral("Library"), QStringLiteral("Used for"), QStringLiteral("Licence"),
                                       QStringLiteral("Home page")});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setWordWrap(false);
    for (int row = 0; row < static_cast<int>(credits.size()); ++row) {
        const Credit& credit = credits[static_cast<std::size_t>(row)];
        const std::array<std::string_view, 4> cells{credit.name, credit.purpose, credit.licence, credit.homePage};
        for (int column = 0; column < 4; ++column) {
            auto* item = new QTableWidgetItem(fromView(cells[static_cast<std::size_t>(column)]));
            item->setToolTip(fromView(credit.copyright));
            table_->setItem(row, column, item);
        }
    }
    table_->resizeColumnsToContents();
    table_->horizontalHeader()->setStretchLastSection(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(table_, 1);
    layout->addWidget(buttons);
    resize(760, 400);
}

}  // namespace korvane
