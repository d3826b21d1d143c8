#include "app/mainframe.h"

#include "app/commandtable.h"
#include "app/vantryapp.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

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

} // namespace

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
    resize(1100, 760);
}

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
        } else {
            menu->addAction(actions_.at(id));
        }
    }
    connect(menu, &QMenu::aboutToShow, app_, &CVantryApp::updateCommandUI);
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
            a->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(path));
            a->setData(path);
            a->setVisible(true);
        } else {
            a->setVisible(false);
        }
    }
}

std::optional<CommandState> CMainFrame::query(int id) const {
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
    case ID_CONTEXT_HELP:
    case ID_NEXT_PANE:
    case ID_PREV_PANE:
        // These keys are taken but do nothing.
        return CommandState{true, false};
    default:
        return std::nullopt;
    }
}

bool CMainFrame::execute(int id) {
    const auto state = query(id);
    if (!state)
        return false;
    if (!state->enabled)
        return true;
    switch (id) {
    case ID_VIEW_TOOLBAR:
        toolBar_->setVisible(!toolBar_->isVisible());
        break;
    case ID_VIEW_STATUS_BAR:
        statusBar()->setVisible(!statusBar()->isVisible());
        break;
    case ID_WINDOW_CASCADE:
        mdi_->cascadeSubWindows();
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
    return true;
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
    if (app_->closeAllDocuments())
        event->accept();
    else
        event->ignore();
}
