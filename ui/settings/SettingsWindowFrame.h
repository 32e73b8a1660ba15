#pragma once

#include "core/settings/SettingsTab.h"

#include <QMainWindow>

#include <memory>
#include <optional>
#include <vector>

class QAction;
class QActionGroup;
class QEvent;
class QKeyEvent;
class QToolBar;

namespace korvane {

class AppSettings;
class PaneStack;

// The window itself: the toolbar of tabs over the selected pane, titled "<tab> — Korvane". Selecting
// a tab stores it under "settingsTab" and fits the window to the pane, keeping its top edge where it
// was so the window grows and shrinks downward. Closing only hides it; it has no minimize button and
// no menu bar (quitting is the tray's job; text fields bring their own editing keys).
//
// Keys, as in a dialog of tabs: Escape (unless something inside takes it, such as a cell editor)
// and Ctrl+W close; Ctrl+Tab / Ctrl+PgDn and Ctrl+Shift+Tab / Ctrl+PgUp select the next or previous
// tab, wrapping around. The tab row is one stop in the Tab order, at the selected tab; Left and Right
// there select the neighbouring tab. A tab chosen by key is stored like a click.
class SettingsWindowFrame final : public QMainWindow {
    Q_OBJECT

public:
    explicit SettingsWindowFrame(AppSettings& settings);
    ~SettingsWindowFrame() override;

    // Adds the pane of `tab`; tabs stay in their fixed order whatever order panes come in. A second
    // pane for the same tab replaces nothing and is dropped.
    void addPane(SettingsTab tab, std::unique_ptr<QWidget> pane);

    // Shows the pane of `tab` (general when that tab has no pane), without storing the choice.
    void showTab(SettingsTab tab);
    // What the user does by clicking a tab: shows it, stores it and fits the window.
    void selectTab(SettingsTab tab);
    std::optional<SettingsTab> selectedTab() const;
    std::vector<SettingsTab> tabs() const;
    QAction* tabAction(SettingsTab tab) const;

    // Sizes the window to the selected pane, top edge kept. Panes call it when their height changes.
    void fitWindow();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Tab {
        SettingsTab tab;
        QAction* action;
        QWidget* pane;
    };

    void addWindowKeys();
    // Selects the tab `step` places after (negative: before) the selected one, wrapping around.
    void selectNeighbour(int step);
    // Only the selected tab's button takes the focus by Tab, so the row is one stop.
    void updateTabFocus();
    const Tab* find(SettingsTab tab) const;

    AppSettings& settings_;
    QToolBar* toolbar_;
    QActionGroup* group_;
    PaneStack* stack_;
    std::vector<Tab> tabs_;  // in tab order
};

}  // namespace korvane
