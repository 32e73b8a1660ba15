// SPDX-License-Identifier: MIT
// The Vocabulary tab as the user works it (offscreen): typing into cells, the buttons, and what
// reaches the settings file on disk.
#include "ui/settings/VocabularyPane.h"
#include "base/scheduling/VirtualMainQueue.h"
#include "core/settings/AppSettings.h"
#include "core/settings/SettingsKeys.h"
#include "tests/support/TempHome.h"
#include "tests/support/qt/QtPrinting.h"
#include "tests/ui/VocabularyPrinting.h"
#include "text/StoredVocabulary.h"
#include "ui/logic/VocabularyEditor.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

namespace korvane {
namespace {

using ::testing::ElementsAre;

QApplication& application()
{
    static int argc = 1;
    static char name[] = "vocabulary-pane-test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: QTest's simulated clicks create input devices owned by the application, and
    // deleting them from an exit handler, after Qt's own global state has gone, crashes the test.
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}

class VocabularyPaneTest : public ::testing::Test {
protected:
    VocabularyPaneTest()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        application();
    }

    void makePane(const Vocabulary& stored)
    {
        settings.setVocabulary(stored);
        // A token per character, so the summary's figures are easy to check.
        pane = std::make_unique<VocabularyPane>(
            settings, [](const std::string& text) { return std::optional<int>(static_cast<int>(text.size())); }, queue);
        pane->show();
    }

    // The vocabulary as the settings file on disk holds it; nothing when the key is missing or the
    // record unreadable.
    std::optional<Vocabulary> savedVocabulary() const
    {
        const auto document = nlohmann::json::parse(testing::readFile(AppSettings::defaultFile()));
        const auto found = document.find(std::string(SettingsKeys::vocabularyV1));
        if (found == document.end() || !found->is_string()) {
            return std::nullopt;
        }
        return StoredVocabulary::decode(found->get<std::string>());
    }

    // Opens the cell's editor, replaces its text and leaves the editor open.
    QLineEdit* typeInto(int row, int column, const QString& text)
    {
        QTableView* table = pane->tableView();
        const QModelIndex index = table->model()->index(row, column);
        table->setCurrentIndex(index);
        table->edit(index);
        auto* field = qobject_cast<QLineEdit*>(table->indexWidget(index));
        if (field == nullptr) {
            ADD_FAILURE() << "no editor opened for row " << row << ", column " << column;
            return nullptr;
        }
        field->selectAll();
        QTest::keyClicks(field, text);
        return field;
    }

    // Types into a cell and presses Return, as the user finishes an edit.
    void enter(int row, int column, const QString& text)
    {
        if (QLineEdit* field = typeInto(row, column, text)) {
            QTest::keyClick(field, Qt::Key_Return);
            // The item delegate commits a Return through a queued call.
            QCoreApplication::processEvents();
        }
    }

    void selectRows(std::initializer_list<int> rows)
    {
        QItemSelectionModel* selection = pane->tableView()->selectionModel();
        selection->clearSelection();
        for (int row : rows) {
            selection->select(pane->tableView()->model()->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    QPushButton* button(const char* name) const { return pane->findChild<QPushButton*>(name); }
    int rowCount() const { return pane->tableView()->model()->rowCount(); }
    QString cell(int row, int column) const { return pane->tableView()->model()->index(row, column).data().toString(); }

    testing::TempHome home;
    AppSettings settings{AppSettings::defaultFile()};
    std::shared_ptr<VirtualMainQueue> queue = std::make_shared<VirtualMainQueue>();
    std::unique_ptr<VocabularyPane> pane;
};

TEST_F(VocabularyPaneTest, TypedEntriesReachTheSettingsFileAsTheyAreFinished)
{
    makePane(Vocabulary());
    ASSERT_EQ(rowCount(), 1);
    EXPECT_EQ(pane->summaryLabel()->text(), "No user spellings yet.");

    // Recognised forms without a replacement stay on screen and are saved as nothing.
    enter(0, 0, " Foo , ,foo, bar ");
    EXPECT_EQ(cell(0, 0), " Foo , ,foo, bar ");
    EXPECT_EQ(savedVocabulary(), Vocabulary());

    enter(0, 1, "Baz");
    EXPECT_EQ(savedVocabulary(), (Vocabulary{{"Baz", {"Foo", "bar"}}}));
    EXPECT_EQ(pane->summaryLabel()->text(), "1 user spelling provided, using 4 of 224 tokens.");

    // An edit still open when the tab is left is kept, not dropped.
    typeInto(0, 1, "Qux");
    pane->hide();
    EXPECT_EQ(savedVocabulary(), (Vocabulary{{"Qux", {"Foo", "bar"}}}));

    // Nor when the pane goes away with a cell open (the application quitting).
    pane->show();
    typeInto(0, 1, "Quux");
    pane.reset();
    EXPECT_EQ(savedVocabulary(), (Vocabulary{{"Quux", {"Foo", "bar"}}}));
}

TEST_F(VocabularyPaneTest, PlusAndMinusButtons)
{
    makePane(Vocabulary{{"A", {"a"}}, {"B", {"b"}}});

    // "+" first ends the edit in progress, which is saved; then it appends a blank row and selects
    // it alone.
    typeInto(0, 0, "alpha");
    QTest::mouseClick(button("addRowButton"), Qt::LeftButton);
    ASSERT_EQ(rowCount(), 3);
    EXPECT_EQ(savedVocabulary(), (Vocabulary{{"A", {"alpha"}}, {"B", {"b"}}}));
    const QModelIndexList selected = pane->tableView()->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.front().row(), 2);

    // A blank row is no entry: the file is not touched.
    const std::string before = testing::readFile(AppSettings::defaultFile());
    QTest::mouseClick(button("addRowButton"), Qt::LeftButton);
    EXPECT_EQ(rowCount(), 4);
    EXPECT_EQ(testing::readFile(AppSettings::defaultFile()), before);

    selectRows({0, 2, 3});
    QTest::mouseClick(button("removeRowsButton"), Qt::LeftButton);
    ASSERT_EQ(rowCount(), 1);
    EXPECT_EQ(cell(0, 1), "B");
    EXPECT_EQ(savedVocabulary(), (Vocabulary{{"B", {"b"}}}));

    // Nothing selected: nothing happens.
    selectRows({});
    QTest::mouseClick(button("removeRowsButton"), Qt::LeftButton);
    EXPECT_EQ(rowCount(), 1);

    // Removing the last row leaves a blank one and stores an empty vocabulary, which stays empty
    // (no return to the built-in list) when the tab shows again.
    selectRows({0});
    QTest::mouseClick(button("removeRowsButton"), Qt::LeftButton);
    ASSERT_EQ(rowCount(), 1);
    EXPECT_EQ(cell(0, 0), "");
    EXPECT_EQ(savedVocabulary(), Vocabulary());
    pane->hide();
    pane->show();
    EXPECT_EQ(rowCount(), 1);
    EXPECT_EQ(settings.vocabulary(), Vocabulary());
}

TEST_F(VocabularyPaneTest, TheKeyboardAddsAndRemovesRowsAndTabLeavesTheTable)
{
    makePane(Vocabulary{{"A", {"a"}}, {"B", {"b"}}, {"C", {"c"}}});
    pane->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(pane.get()));
    QTableView* table = pane->tableView();

    // "+" opens the new row's first cell for typing; inside it BackSpace belongs to the text.
    QTest::mouseClick(button("addRowButton"), Qt::LeftButton);
    ASSERT_EQ(rowCount(), 4);
    auto* field = qobject_cast<QLineEdit*>(table->indexWidget(table->model()->index(3, 0)));
    ASSERT_NE(field, nullptr);
    EXPECT_TRUE(field->hasFocus());
    QTest::keyClicks(field, "dee");
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClick(field, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(cell(3, 0), "de");
    ASSERT_EQ(rowCount(), 4);

    // Outside an edit, Delete and BackSpace remove the selected rows as "−" does.
    for (const Qt::Key key : {Qt::Key_Delete, Qt::Key_Backspace}) {
        selectRows({0});
        QTest::keyClick(table, key);
    }
    EXPECT_EQ(rowCount(), 2);
    EXPECT_EQ(cell(0, 1), "C");
    EXPECT_EQ(savedVocabulary(), (Vocabulary{{"C", {"c"}}}));

    table->setFocus();
    QTest::keyClick(table, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), button("addRowButton"));
}

TEST_F(VocabularyPaneTest, AddCommonTermsKeepsTheUsersOwnMappings)
{
    makePane(Vocabulary{{"paren", {"open paren"}}});
    QTest::mouseClick(button("addRowButton"), Qt::LeftButton);
    enter(1, 0, "half typed");

    QPushButton* common = button("addCommonTermsButton");
    EXPECT_EQ(common->toolTip(),
              "Spoken names for symbols, such as \"forward slash\" and \"open paren\". Your own entries are kept.");
    QTest::mouseClick(common, Qt::LeftButton);

    const std::optional<Vocabulary> saved = savedVocabulary();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->entries().front(), (VocabularyEntry{"paren", {"open paren"}}));
    // The built-in entries follow in their own order; "(" keeps only the forms the user left free.
    const auto& entries = saved->entries();
    const auto openParen = std::find_if(entries.begin(), entries.end(),
                                        [](const VocabularyEntry& entry) { return entry.replacement == "("; });
    ASSERT_NE(openParen, entries.end());
    EXPECT_EQ(*openParen, (VocabularyEntry{"(", {"open parenthesis", "left paren"}}));
    // One row per entry: the incomplete row went.
    EXPECT_EQ(rowCount(), static_cast<int>(entries.size()));
    const int row = static_cast<int>(openParen - entries.begin());
    EXPECT_EQ(cell(row, 0), "open parenthesis, left paren");
    EXPECT_EQ(cell(row, 1), "(");

    // Merging again finds nothing new: the file is not rewritten.
    const std::string before = testing::readFile(AppSettings::defaultFile());
    QTest::mouseClick(common, Qt::LeftButton);
    EXPECT_EQ(testing::readFile(AppSettings::defaultFile()), before);
}

TEST_F(VocabularyPaneTest, TheSummaryTurnsOrangeWhenSpellingsDoNotFit)
{
    makePane(Vocabulary{{std::string(300, 'k'), {"long"}}});
    EXPECT_EQ(pane->summaryLabel()->text(), "Only 0 of 1 user spellings fit in 224 tokens.");
    const QColor warning = pane->summaryLabel()->palette().color(QPalette::WindowText);

    enter(0, 1, "Short");
    EXPECT_EQ(pane->summaryLabel()->text(), "1 user spelling provided, using 6 of 224 tokens.");
    EXPECT_NE(pane->summaryLabel()->palette().color(QPalette::WindowText), warning);
}

}  // namespace
}  // namespace korvane
