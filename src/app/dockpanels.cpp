#include "app/dockpanels.h"

#include "app/checkerdock.h"
#include "app/linktable.h"
#include "app/vantryapp.h"

#include <QAction>
#include <QMainWindow>
#include <QSettings>

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
}

DockPanels::~DockPanels() {
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
        return std::nullopt;
    }
}

bool DockPanels::execute(int id) {
    const auto state = query(id);
    if (!state)
        return false;
    if (!state->enabled)
        return true;
    if (id == ID_VIEW_LINK_TABLE) {
        linkTable_->setVisible(linkTable_->isHidden());
    } else {
        checker_->show();
        checker_->raise();
        checker_->runChecks();
    }
    return true;
}
