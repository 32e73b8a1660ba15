#include "ui/settings/SettingsWindowFrame.h"

#include "core/settings/AppSettings.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QIcon>
#include <QKeySequence>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QStackedWidget>
#include <QStyle>
#include <QToolBar>

#include <algorithm>
#include <utility>

namespace korvane {

// A stack as large as the pane on top, not as the largest pane, so the window can shrink again
// when a short pane is selected.
class PaneStack final : public QStackedWidget {
public:
    using QStackedWidget::QStackedWidget;

    QSize sizeHint() const override
    {
        const QWidget* pane = currentWidget();
        if (pane == nullptr) {
            return {};
        }
        // A pane without a layout has no size hint of its own; its size then says what it needs.
        QSize size = pane->sizeHint();
        if (!size.isValid()) {
            size = pane->size();
        }
        return size.expandedTo(pane->minimumSize()).boundedTo(pane->maximumSize());
    }
    QSize minimumSizeHint() const override { return sizeHint(); }
};

namespace {

struct TabLook {
    const char* label;
    const char* themeIcon;            // freedesktop icon naming
    QStyle::StandardPixmap fallback;  // for desktops whose theme lacks the name
};

TabLook lookOf(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::general:
        return {"General", "preferences-system", QStyle::SP_FileDialogDetailedView};
    case SettingsTab::vocabulary:
        return {"Vocabulary", "accessories-dictionary", QStyle::SP_FileDialogContentsView};
    case SettingsTab::updates:
        return {"Updates", "system-software-update", QStyle::SP_BrowserReload};
    case SettingsTab::about:
        return {"About", "help-about", QStyle::SP_MessageBoxInformation};
    }
    return {"General", "preferences-system", QStyle::SP_FileDialogDetailedView};
}

int orderOf(SettingsTab tab)
{
    return static_cast<int>(std::find(kSettingsTabs.begin(), kSettingsTabs.end(), tab) - kSettingsTabs.begin());
}

}  // namespace

SettingsWindowFrame::SettingsWindowFrame(AppSettings& settings, std::function<void()> quit)
    : settings_(settings), toolbar_(new QToolBar(this)), group_(new QActionGroup(this)), stack_(new PaneStack(this))
{
    setObjectName("settingsWindow");
    // Closable, but neither minimizable (a minimized window is easily lost, and "Settings…" is
    // there to bring it back) nor maximizable (it keeps the size of the pane shown).
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    toolbar_->setObjectName("settingsTabs");
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, toolbar_);
    group_->setExclusive(true);
    setCentralWidget(stack_);
    setUnifiedTitleAndToolBarOnMac(true);
    buildMenus(std::move(quit));
}

SettingsWindowFrame::~SettingsWindowFrame() = default;

void SettingsWindowFrame::buildMenus(std::function<void()> quit)
{
    QMenu* application = menuBar()->addMenu("Korvane");
    QAction* settingsItem = application->addAction("Settings…");
    settingsItem->setShortcut(QKeySequence("Ctrl+,"));
    connect(settingsItem, &QAction::triggered, this, [this] {
        raise();
        activateWindow();
    });
    application->addSeparator();
    QAction* quitItem = application->addAction("Quit Korvane");
    quitItem->setShortcut(QKeySequence("Ctrl+Q"));
    connect(quitItem, &QAction::triggered, this, [quit = std::move(quit)] { quit(); });

    // The Edit items act on whichever field has the focus; the fields' own shortcuts (Ctrl+Z, Ctrl+C,
    // ...) keep working, since a text field claims those keys before any menu shortcut sees them.
    QMenu* edit = menuBar()->addMenu("Edit");
    struct EditItem {
        const char* title;
        QKeySequence keys;
        const char* slot;
    };
    const EditItem upper[] = {{"Undo", QKeySequence("Ctrl+Z"), "undo()"},
                              {"Redo", QKeySequence("Ctrl+Shift+Z"), "redo()"}};
    const EditItem lower[] = {{"Cut", QKeySequence("Ctrl+X"), "cut()"},
                              {"Copy", QKeySequence("Ctrl+C"), "copy()"},
                              {"Paste", QKeySequence("Ctrl+V"), "paste()"},
                              {"Select All", QKeySequence("Ctrl+A"), "selectAll()"}};
    auto addEditItem = [this, edit](const EditItem& item) {
        QAction* action = edit->addAction(item.title);
        action->setShortcut(item.keys);
        connect(action, &QAction::triggered, this, [this, slot = item.slot] { forwardToFocusedField(slot); });
    };
    for (const EditItem& item : upper) {
        addEditItem(item);
    }
    edit->addSeparator();
    for (const EditItem& item : lower) {
        addEditItem(item);
    }

    QMenu* window = menuBar()->addMenu("Window");
    QAction* closeItem = window->addAction("Close");
    closeItem->setShortcut(QKeySequence("Ctrl+W"));
    connect(closeItem, &QAction::triggered, this, &QWidget::close);
}

void SettingsWindowFrame::forwardToFocusedField(const char* slot)
{
    QWidget* field = QApplication::focusWidget();
    if (field == nullptr || field->window() != this) {
        return;
    }
    // Line edits, text edits and the table's cell editors all have these slots; other widgets
    // (buttons, check boxes) have nothing to undo or copy.
    const QByteArray signature = QMetaObject::normalizedSignature(slot);
    if (field->metaObject()->indexOfMethod(signature.constData()) < 0) {
        return;
    }
    const QByteArray name = signature.left(signature.indexOf('('));
    QMetaObject::invokeMethod(field, name.constData());
}

void SettingsWindowFrame::addPane(SettingsTab tab, std::unique_ptr<QWidget> pane)
{
    if (!pane || find(tab) != nullptr) {
        return;
    }
    const TabLook look = lookOf(tab);
    auto position = std::find_if(tabs_.begin(), tabs_.end(),
                                 [tab](const Tab& existing) { return orderOf(existing.tab) > orderOf(tab); });
    QAction* before = position == tabs_.end() ? nullptr : position->action;

    auto* action = new QAction(QIcon::fromTheme(look.themeIcon, style()->standardIcon(look.fallback)),
                               QString::fromUtf8(look.label), this);
    action->setCheckable(true);
    action->setObjectName(QString::fromUtf8(storedForm(tab).data(), static_cast<int>(storedForm(tab).size())));
    action->setToolTip(QString::fromUtf8(look.label));
    group_->addAction(action);
    toolbar_->insertAction(before, action);
    connect(action, &QAction::triggered, this, [this, tab] { selectTab(tab); });

    QWidget* page = pane.release();
    stack_->addWidget(page);
    tabs_.insert(position, Tab{tab, action, page});
}

const SettingsWindowFrame::Tab* SettingsWindowFrame::find(SettingsTab tab) const
{
    auto found = std::find_if(tabs_.begin(), tabs_.end(), [tab](const Tab& entry) { return entry.tab == tab; });
    return found == tabs_.end() ? nullptr : &*found;
}

void SettingsWindowFrame::showTab(SettingsTab tab)
{
    const Tab* entry = find(tab);
    if (entry == nullptr) {
        entry = find(SettingsTab::general);
    }
    if (entry == nullptr) {
        entry = tabs_.empty() ? nullptr : &tabs_.front();
    }
    if (entry == nullptr) {
        return;
    }
    entry->action->setChecked(true);
    stack_->setCurrentWidget(entry->pane);
    setWindowTitle(entry->action->text());
    fitWindow();
}

void SettingsWindowFrame::selectTab(SettingsTab tab)
{
    if (find(tab) == nullptr) {
        return;
    }
    showTab(tab);
    settings_.setSettingsTab(tab);
}

std::optional<SettingsTab> SettingsWindowFrame::selectedTab() const
{
    for (const Tab& entry : tabs_) {
        if (entry.pane == stack_->currentWidget()) {
            return entry.tab;
        }
    }
    return std::nullopt;
}

std::vector<SettingsTab> SettingsWindowFrame::tabs() const
{
    std::vector<SettingsTab> result;
    for (const Tab& entry : tabs_) {
        result.push_back(entry.tab);
    }
    return result;
}

QAction* SettingsWindowFrame::tabAction(SettingsTab tab) const
{
    const Tab* entry = find(tab);
    return entry == nullptr ? nullptr : entry->action;
}

void SettingsWindowFrame::fitWindow()
{
    if (stack_->currentWidget() == nullptr) {
        return;
    }
    stack_->updateGeometry();
    if (QLayout* frameLayout = layout()) {
        frameLayout->invalidate();
        frameLayout->activate();
    }
    // A resize leaves the window's top-left corner where it is, so the top edge stays put and the
    // window grows or shrinks downward. The size is fixed: the window is not resizable by hand.
    const QSize size = sizeHint().expandedTo(QSize(1, 1));
    setFixedSize(size);
}

}  // namespace korvane
