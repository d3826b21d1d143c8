#include "app/mainframe.h"

#include "app/commandtable.h"
#include "app/dockpanels.h"
#include "app/framestate.h"
#include "app/vantryapp.h"
#include "dialogs/dialogbuttons.h"
#include "dialogs/help.h"
#include "view/droppedfiles.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QShowEvent>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

namespace vantry {

namespace {

QList<QKeySequence> shortcutsOf(const CommandInfo& info) {
    QList<QKeySequence> keys;
    for (const QString& k :
         QString::fromLatin1(info.keys).split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        if (k == QLatin1String("Num++"))
            keys << QKeySequence(Qt::KeypadModifier | Qt::Key_Plus);
        else if (k == QLatin1String("Num+-"))
            keys << QKeySequence(Qt::KeypadModifier | Qt::Key_Minus);
        else
            keys << QKeySequence::fromString(k, QKeySequence::PortableText);
    }
    return keys;
}

template <class DragEvent> void acceptDropAsCopy(DragEvent& event) {
    event.setDropAction(Qt::CopyAction);
    event.accept();
}

} // namespace

QString shownTitle(const QWidget& window) {
    QString title = window.windowTitle();
    return title.replace(QStringLiteral("[*]"),
                         window.isWindowModified() ? QStringLiteral("*") : QString());
}

QRect cascadeGeometry(QSize area, int index, int step) {
    // Large enough to work in, and every window wholly inside the area: the steps start again
    // at the top left once the next one would go past it.
    const QSize size(std::max(std::min(area.width(), 320), area.width() * 4 / 5),
                     std::max(std::min(area.height(), 240), area.height() * 4 / 5));
    step = std::max(step, 1);
    const int room = std::min(area.width() - size.width(), area.height() - size.height());
    const int places = std::max(room, 0) / step + 1;
    const int offset = (index % places) * step;
    return {QPoint(offset, offset), size};
}

QString escapeMenuText(const QString& text) {
    QString escaped = text;
    return escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString elidedMenuPath(const QString& path, int maxChars) {
    const QFontMetrics metrics(QApplication::font("QMenu"));
    return metrics.elidedText(path, Qt::ElideMiddle, metrics.averageCharWidth() * maxChars);
}

CMainFrame::CMainFrame(CVantryApp* app) : app_(app), mdi_(new QMdiArea) {
    setWindowTitle(QStringLiteral("NetQuill"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/vantry.svg")));
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdi_);
    buildActions();
    menusNoDoc_.clear();
    for (const MenuLayout& m : menusWithoutDocument())
        menusNoDoc_.push_back(buildMenu(m.title, m.items));
    for (const MenuLayout& m : menusWithDocument())
        menusDoc_.push_back(buildMenu(m.title, m.items));
    buildToolBar();
    buildStatusBar();
    showDocumentMenus(false);
    docks_ = std::make_unique<DockPanels>(*app_, *this, mdi_);
    resize(1100, 760);
    setAcceptDrops(true);
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::action(int id) const {
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::buildActions() {
    for (const CommandInfo& info : commandTable()) {
        QString text = QString::fromLatin1(info.menuText);
        if (*info.keyHint)
            text += QLatin1Char('\t') + QString::fromLatin1(info.keyHint);
        auto* a = new QAction(text, this);
        a->setStatusTip(QString::fromLatin1(info.statusText));
        a->setIconText(QString::fromLatin1(info.toolTip));
        a->setToolTip(QString::fromLatin1(info.toolTip));
        a->setCheckable(info.checkable);
        if (*info.icon)
            a->setIcon(QIcon(QStringLiteral(":/icons/") + QString::fromLatin1(info.icon) +
                             QStringLiteral(".svg")));
        a->setShortcuts(shortcutsOf(info));
        // Menus show check marks and key hints; the pictures are for the toolbar.
        a->setIconVisibleInMenu(false);
        // Key hints are part of the menu text, as the keys of a command are several.
        a->setShortcutVisibleInContextMenu(false);
        const int id = info.id;
        connect(a, &QAction::triggered, this, [this, id, a] {
            // A checkable action flips itself before the command runs; the command decides.
            if (a->isCheckable())
                a->setChecked(!a->isChecked());
            app_->route(id);
        });
        actions_[id] = a;
    }
    for (int id : keyboardOnlyCommands())
        addAction(actions_[id]);
    for (int i = 0; i < 4; ++i) {
        auto* a = new QAction(this);
        a->setStatusTip(QStringLiteral("Open this document"));
        a->setVisible(false);
        const int id = ID_FILE_MRU_FIRST + i;
        connect(a, &QAction::triggered, this, [this, id] { app_->route(id); });
        recentActions_.push_back(a);
        actions_[id] = a;
    }
}

QMenu* CMainFrame::buildMenu(const char* title, const std::vector<int>& items) {
    auto* menu = new QMenu(QString::fromLatin1(title), this);
    for (int id : items) {
        if (id == kSeparator) {
            menu->addSeparator();
        } else if (id == kRecentFiles) {
            for (QAction* a : recentActions_)
                menu->addAction(a);
        } else if (id == kWindowList) {
            windowMenu_ = menu;
            connect(menu, &QMenu::aboutToShow, this, &CMainFrame::fillWindowList);
        } else {
            menu->addAction(actions_.at(id));
        }
    }
    // Only the items' states are brought up to date: rebuilding the bar here would close the
    // menu that is opening, and with it every menu opened from the keyboard.
    connect(menu, &QMenu::aboutToShow, app_, &CVantryApp::updateCommandStates);
    return menu;
}

void CMainFrame::buildToolBar() {
    toolBar_ = new QToolBar(QStringLiteral("Toolbar"), this);
    toolBar_->setObjectName(QStringLiteral("toolbar"));
    toolBar_->setIconSize(QSize(16, 16));
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
    for (int id : toolbarLayout()) {
        if (id == kSeparator)
            toolBar_->addSeparator();
        else
            toolBar_->addAction(actions_.at(id));
    }
    addToolBar(Qt::TopToolBarArea, toolBar_);
    toolBar_->toggleViewAction()->setVisible(false);
}

void CMainFrame::buildStatusBar() {
    idle_ = new QLabel(idleText());
    statusBar()->addWidget(idle_, 1);
    viewPane_ = new QLabel;
    viewPane_->setMinimumWidth(140);
    statusBar()->addPermanentWidget(viewPane_);
    for (const char* indicator : {"CAP", "NUM", "SCRL"}) {
        auto* label = new QLabel(QString::fromLatin1(indicator));
        // The lock keys' states cannot be read portably; the indicators keep their places.
        label->setEnabled(false);
        statusBar()->addPermanentWidget(label);
    }
}

QString CMainFrame::idleText() const {
    return QStringLiteral("For Help, press F1");
}

void CMainFrame::setViewPaneText(const QString& text) {
    viewPane_->setText(text);
}

QString CMainFrame::viewPaneText() const {
    return viewPane_->text();
}

void CMainFrame::showDocumentMenus(bool withDocument) {
    if (menusShown_ && documentMenus_ == withDocument)
        return;
    menusShown_ = true;
    documentMenus_ = withDocument;
    menuBar()->clear();
    for (QMenu* m : withDocument ? menusDoc_ : menusNoDoc_)
        menuBar()->addMenu(m);
}

void CMainFrame::setRecentFiles(const std::vector<std::string>& paths) {
    for (std::size_t i = 0; i < recentActions_.size(); ++i) {
        QAction* a = recentActions_[i];
        if (i < paths.size()) {
            const QString path = QString::fromStdString(paths[i]);
            a->setText(
                QStringLiteral("&%1 %2").arg(i + 1).arg(escapeMenuText(elidedMenuPath(path))));
            a->setData(path);
            a->setVisible(true);
        } else {
            a->setVisible(false);
        }
    }
}

void CMainFrame::fillWindowList() {
    for (QAction* a : windowListActions_) {
        windowMenu_->removeAction(a);
        delete a;
    }
    windowListActions_.clear();
    const auto windows = mdi_->subWindowList(QMdiArea::CreationOrder);
    if (windows.isEmpty())
        return;
    windowListActions_.push_back(windowMenu_->addSeparator());
    constexpr int kListed = 9;
    for (int i = 0; i < windows.size() && i < kListed; ++i) {
        QPointer<QMdiSubWindow> window = windows[i];
        QAction* a = windowMenu_->addAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(escapeMenuText(shownTitle(*window))));
        a->setStatusTip(QStringLiteral("Activate this window"));
        a->setCheckable(true);
        a->setChecked(window == mdi_->activeSubWindow());
        connect(a, &QAction::triggered, this, [this, window] {
            if (window)
                mdi_->setActiveSubWindow(window);
        });
        windowListActions_.push_back(a);
    }
    if (windows.size() > kListed) {
        QAction* more = windowMenu_->addAction(QStringLiteral("&More Windows..."));
        more->setStatusTip(QStringLiteral("Choose among all open windows"));
        connect(more, &QAction::triggered, this, &CMainFrame::chooseWindow);
        windowListActions_.push_back(more);
    }
}

void CMainFrame::chooseWindow() {
    const auto windows = mdi_->subWindowList(QMdiArea::CreationOrder);
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Select Window"));
    auto* list = new QListWidget;
    for (QMdiSubWindow* w : windows) {
        list->addItem(shownTitle(*w));
        if (w == mdi_->activeSubWindow())
            list->setCurrentRow(list->count() - 1);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    connect(list, &QListWidget::itemActivated, &dialog, &QDialog::accept);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("&Select window:")));
    layout->addWidget(list);
    layout->addWidget(buttons);
    if (execWindowModal(dialog) != QDialog::Accepted || list->currentRow() < 0)
        return;
    const auto now = mdi_->subWindowList(QMdiArea::CreationOrder);
    // A window may have closed while the list was up.
    if (list->currentRow() < windows.size() && now.contains(windows[list->currentRow()]))
        mdi_->setActiveSubWindow(windows[list->currentRow()]);
}

std::optional<CommandState> CMainFrame::query(int id) const {
    if (auto state = docks_->query(id))
        return state;
    const bool haveWindow = mdi_->activeSubWindow() != nullptr;
    switch (id) {
    case ID_VIEW_TOOLBAR:
        return CommandState{true, toolBar_->isVisible()};
    case ID_VIEW_STATUS_BAR:
        return CommandState{true, statusBar()->isVisible()};
    case ID_WINDOW_CASCADE:
    case ID_WINDOW_TILE:
    case ID_WINDOW_ARRANGE:
        return CommandState{haveWindow, false};
    default:
        return std::nullopt;
    }
}

void CMainFrame::run(int id) {
    // The docks come first here as they do in query().
    if (docks_->query(id)) {
        docks_->execute(id);
        return;
    }
    switch (id) {
    case ID_VIEW_TOOLBAR:
        toolBar_->setVisible(!toolBar_->isVisible());
        break;
    case ID_VIEW_STATUS_BAR:
        statusBar()->setVisible(!statusBar()->isVisible());
        break;
    case ID_WINDOW_CASCADE:
        cascade();
        break;
    case ID_WINDOW_TILE:
        mdi_->tileSubWindows();
        break;
    case ID_WINDOW_ARRANGE:
        arrangeIcons();
        break;
    default:
        break;
    }
}

QRect CMainFrame::cascadePlace(int index) const {
    return cascadeGeometry(mdi_->viewport()->size(), index,
                           style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, mdi_));
}

void CMainFrame::cascade() {
    int index = 0;
    QMdiSubWindow* active = mdi_->activeSubWindow();
    for (QMdiSubWindow* w : mdi_->subWindowList(QMdiArea::CreationOrder)) {
        if (w->isMinimized())
            continue;
        if (w->isMaximized())
            w->showNormal();
        w->setGeometry(cascadePlace(index++));
        w->raise();
    }
    // The window in front stays the active one.
    if (active && !active->isMinimized())
        active->raise();
}

void CMainFrame::raiseFloatingDocks() {
    for (QDockWidget* dock : findChildren<QDockWidget*>()) {
        if (dock->isFloating() && !dock->isHidden())
            dock->raise();
    }
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Floating docks were put back before this window first appeared, and the window manager
    // stacks them behind it; they come forward once it is up.
    if (!event->spontaneous())
        QTimer::singleShot(0, this, &CMainFrame::raiseFloatingDocks);
}

void CMainFrame::arrangeIcons() {
    // Minimised windows line up along the bottom of the area, left to right.
    int x = 0;
    const int bottom = mdi_->viewport()->height();
    for (QMdiSubWindow* w : mdi_->subWindowList()) {
        if (!w->isMinimized())
            continue;
        w->move(x, bottom - w->height());
        x += w->width();
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!app_->closeAllDocuments()) {
        event->ignore();
        return;
    }
    // The guide is a window of its own; left open it would keep the program running.
    closeHelp();
    saveFrameState(*this);
    // A floating dock is a window of its own, closed with this one: that is not the user
    // closing it, and it must come back the next time.
    for (QDockWidget* dock : findChildren<QDockWidget*>())
        dock->toggleViewAction()->blockSignals(true);
    event->accept();
}

// A drop is always taken as a copy, whatever the source proposes: a source told that its files
// were moved may delete them.
void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedNetworkFiles(*event->mimeData()).empty())
        acceptDropAsCopy(*event);
}

void CMainFrame::dragMoveEvent(QDragMoveEvent* event) {
    if (!droppedNetworkFiles(*event->mimeData()).empty())
        acceptDropAsCopy(*event);
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const std::vector<std::string> files = droppedNetworkFiles(*event->mimeData());
    if (files.empty())
        return;
    acceptDropAsCopy(*event);
    // The program that dragged the files waits until the drop returns; opening may ask.
    QTimer::singleShot(0, app_, [app = app_, files] {
        for (const std::string& file : files)
            app->OpenDocumentFile(file);
    });
}

} // namespace vantry
