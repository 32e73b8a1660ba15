#pragma once

#include "core/settings/SettingsTab.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QActionGroup;
class QToolBar;

namespace korvane {

class AppSettings;
class PaneStack;

// The window itself: the toolbar of tabs over the selected pane, and the menu bar. Selecting a tab
// stores it under "settingsTab" and fits the window to the pane, keeping its top edge where it was
// so the window grows and shrinks downward. Closing only hides it; it has no minimize button.
class SettingsWindowFrame final : public QMainWindow {
    Q_OBJECT

public:
    // `quit` runs for "Quit Korvane".
    SettingsWindowFrame(AppSettings& settings, std::function<void()> quit);
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

private:
    struct Tab {
        SettingsTab tab;
        QAction* action;
        QWidget* pane;
    };

    void buildMenus(std::function<void()> quit);
    void forwardToFocusedField(const char* slot);
    const Tab* find(SettingsTab tab) const;

    AppSettings& settings_;
    QToolBar* toolbar_;
    QActionGroup* group_;
    PaneStack* stack_;
    std::vector<Tab> tabs_;  // in tab order
};

}  // namespace korvane
