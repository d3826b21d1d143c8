#include "app/docktable.h"

#include <QHeaderView>
#include <QKeyEvent>

DockTable::DockTable(QWidget* parent) : QTableView(parent) {
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setWordWrap(false);
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
