#include "ui/settings/SettingsWindowFrame.h"

#include "core/settings/AppSettings.h"

#include <QAction>
#include <QActionGroup>
#include <QIcon>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLayout>
#include <QStackedWidget>
#include <QStyle>
#include <QToolBar>

#include <algorithm>

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

SettingsWindowFrame::SettingsWindowFrame(AppSettings& settings)
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
    addWindowKeys();
}

SettingsWindowFrame::~SettingsWindowFrame() = default;

void SettingsWindowFrame::addWindowKeys()
{
    // Shortcuts of the window, so they work whichever field has the focus; the fields claim none
    // of these keys for themselves.
    auto* close = new QAction(this);
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);

    auto* next = new QAction(this);
    next->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)});
    connect(next, &QAction::triggered, this, [this] { selectNeighbour(1); });
    addAction(next);
    // Ctrl+Shift+Tab arrives as Backtab with Shift held.
    auto* previous = new QAction(this);
    previous->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
                            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageUp)});
    connect(previous, &QAction::triggered, this, [this] { selectNeighbour(-1); });
    addAction(previous);
}

void SettingsWindowFrame::keyPressEvent(QKeyEvent* event)
{
    // Escape reaches the window only when nothing inside used it: an open cell editor cancels its
    // edit, a drop-down list closes, and the window stays.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

bool SettingsWindowFrame::eventFilter(QObject* watched, QEvent* event)
{
    // Left and Right on a tab button move along the row as they do in a tab bar, selecting as they
    // go; a tool button alone would pass the focus on to the next widget instead.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (plain && (key->key() == Qt::Key_Left || key->key() == Qt::Key_Right)) {
            const bool forward = (key->key() == Qt::Key_Right) != (layoutDirection() == Qt::RightToLeft);
            selectNeighbour(forward ? 1 : -1);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void SettingsWindowFrame::selectNeighbour(int step)
{
    const std::optional<SettingsTab> selected = selectedTab();
    if (!selected || tabs_.empty()) {
        return;
    }
    const auto at = std::find_if(tabs_.begin(), tabs_.end(), [&](const Tab& entry) { return entry.tab == *selected; });
    const int count = static_cast<int>(tabs_.size());
    const int index = (static_cast<int>(at - tabs_.begin()) + step % count + count) % count;
    selectTab(tabs_[static_cast<std::size_t>(index)].tab);
}

void SettingsWindowFrame::updateTabFocus()
{
    QWidget* focused = focusWidget();
    const bool rowFocused = focused != nullptr && toolbar_->isAncestorOf(focused);
    for (const Tab& entry : tabs_) {
        QWidget* button = toolbar_->widgetForAction(entry.action);
        if (button == nullptr) {
            continue;
        }
        button->setFocusPolicy(entry.action->isChecked() ? Qt::TabFocus : Qt::NoFocus);
        // The focus moves along with the selection, as in a tab bar.
        if (rowFocused && entry.action->isChecked()) {
            button->setFocus(Qt::TabFocusReason);
        }
    }
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
    if (QWidget* button = toolbar_->widgetForAction(action)) {
        button->installEventFilter(this);
    }

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
    updateTabFocus();
    setWindowTitle(entry->action->text() + QStringLiteral(" \u2014 Korvane"));
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
