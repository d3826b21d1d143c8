#include "app/docktable.h"

#include "view/commands.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>

namespace vantry {

DockTable::DockTable(QWidget* parent) : QTableView(parent) {
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setWordWrap(false);
    setContextMenuPolicy(Qt::CustomContextMenu);
}

bool DockTable::runCommand(int id) {
    const auto state = commands_ ? commands_->query(id) : std::nullopt;
    if (!state || !state->enabled)
        return false;
    commands_->execute(id);
    emit commandRan();
    return true;
}

void DockTable::addCommandItem(QMenu& menu, int id, const QString& text) {
    QAction* item = menu.addAction(text);
    const auto state = commands_ ? commands_->query(id) : std::nullopt;
    item->setEnabled(state && state->enabled);
    connect(item, &QAction::triggered, this, [this, id] { runCommand(id); });
}

QSize DockTable::sizeHint() const {
    const QSize size = QTableView::sizeHint();
    return preferredWidth_ > 0 ? QSize(preferredWidth_, size.height()) : size;
}

bool DockTable::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers command =
            key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        // Function keys stay the program's (F1 is Help), all but F2, which edits a cell.
        const bool function =
            key->key() >= Qt::Key_F1 && key->key() <= Qt::Key_F35 && key->key() != Qt::Key_F2;
        if ((command == Qt::NoModifier && !function) || key->matches(QKeySequence::Copy) ||
            key->matches(QKeySequence::Paste) || key->matches(QKeySequence::SelectAll)) {
            event->accept();
            return true;
        }
    }
    return QTableView::event(event);
}

void DockTable::keyPressEvent(QKeyEvent* event) {
    // Keys an open editor passes on (a list of choices takes no Delete) are not commands.
    if (state() != EditingState) {
        int id = 0;
        if (event->matches(QKeySequence::Copy))
            id = ID_EDIT_COPY;
        else if (event->matches(QKeySequence::Paste))
            id = ID_EDIT_PASTE;
        else if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier)
            id = ID_EDIT_CLEAR;
        if (id) {
            runCommand(id);
            event->accept();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

} // namespace vantry
