#include "app/dockpanels.h"

#include "app/checkerdock.h"
#include "app/docktable.h"
#include "app/linktable.h"
#include "app/vantryapp.h"

#include <QAction>
#include <QApplication>
#include <QItemSelectionModel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>

namespace vantry {

namespace {

QSettings frameworkSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kestrin"),
                     QStringLiteral("Vantry"));
}

} // namespace

DockPanels::DockPanels(CVantryApp& app, QMainWindow& window, QMdiArea* area)
    : app_(app), window_(window), linkTable_(new LinkTableDock(app, area, &window)),
      checker_(new CheckerDock(app, area, &window)) {
    window.addDockWidget(Qt::BottomDockWidgetArea, linkTable_);
    window.addDockWidget(Qt::RightDockWidgetArea, checker_);
    keepVisibility(linkTable_, "LinkTable");
    keepVisibility(checker_, "Checker");
    focusConnection_ = QObject::connect(qApp, &QApplication::focusChanged,
                                        [this](QWidget*, QWidget* now) { followFocus(now); });
    for (DockTable* table : {linkTable_->table(), checker_->table()}) {
        QObject::connect(table, &DockTable::commandRan, table,
                         [this] { app_.updateCommandStates(); });
        QObject::connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, table,
                         [this, table] {
                             if (focused_ == table)
                                 app_.updateCommandStates();
                         });
    }
}

void DockPanels::followFocus(QWidget* now) {
    DockTable* table = nullptr;
    for (DockTable* t : {linkTable_->table(), checker_->table()})
        if (now && (now == t || t->isAncestorOf(now)))
            table = t;
    // A menu or the menu bar takes the focus only while it is open; the command it runs is for
    // what had the focus before. Losing it to another program changes nothing either.
    if (!table && (!now || qobject_cast<QMenu*>(now) || qobject_cast<QMenuBar*>(now)))
        return;
    if (table == focused_)
        return;
    focused_ = table;
    app_.updateCommandStates();
}

DockTable* DockPanels::focusedTable() const {
    return focused_ && focused_->isVisible() ? focused_.data() : nullptr;
}

DockPanels::~DockPanels() {
    QObject::disconnect(focusConnection_);
    // The docks outlive this while the window is taken down.
    for (QDockWidget* dock :
         {static_cast<QDockWidget*>(linkTable_), static_cast<QDockWidget*>(checker_)})
        QObject::disconnect(dock->toggleViewAction(), nullptr, dock, nullptr);
}

void DockPanels::keepVisibility(QDockWidget* dock, const char* key) {
    const QString name = QStringLiteral("Docks/") + QString::fromLatin1(key);
    dock->setVisible(frameworkSettings().value(name, false).toBool());
    // Only the user's showing and closing count: the toggle action follows those, and not the
    // hiding of the whole window as the program ends.
    QObject::connect(dock->toggleViewAction(), &QAction::toggled, dock, [this, name](bool on) {
        frameworkSettings().setValue(name, on);
        app_.updateCommandStates();
    });
}

std::optional<CommandState> DockPanels::query(int id) const {
    switch (id) {
    case ID_VIEW_LINK_TABLE:
        return CommandState{true, !linkTable_->isHidden()};
    case ID_NETWORK_CHECK:
        return CommandState{app_.activeView() != nullptr, false};
    default:
        if (DockTable* table = focusedTable(); table && table->commands())
            return table->commands()->query(id);
        return std::nullopt;
    }
}

void DockPanels::run(int id) {
    if (id != ID_VIEW_LINK_TABLE && id != ID_NETWORK_CHECK) {
        focusedTable()->commands()->execute(id);
    } else if (id == ID_VIEW_LINK_TABLE) {
        if (linkTable_->isHidden())
            linkTable_->showForTyping();
        else
            linkTable_->hide();
    } else {
        checker_->show();
        checker_->raise();
        // Floating, the checker is a window of its own, which only the window manager brings
        // in front of the main window.
        if (checker_->isFloating())
            checker_->activateWindow();
        checker_->runChecks();
    }
}

} // namespace vantry
