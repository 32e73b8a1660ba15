#pragma once

#include <QDialog>

class QTableWidget;

namespace korvane {

// About's "Credits…" window: Korvane's own licence and a read-only table of the libraries it is
// built on, each with what it is used for, its licence and its home page. Main thread only.
class CreditsDialog final : public QDialog {
    Q_OBJECT

public:
    explicit CreditsDialog(QWidget* parent = nullptr);

    QTableWidget* table() const { return table_; }

private:
    QTableWidget* table_ = nullptr;
};

}  // namespace korvane
