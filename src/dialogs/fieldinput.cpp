#include "dialogs/fieldinput.h"

#include "document/prompter.h"

#include <QAbstractSpinBox>
#include <QLineEdit>

namespace vantry {

void refuseField(QWidget* field, Prompter& prompter, const QString& message) {
    prompter.showMessage(message.toStdString(), Prompter::Icon::Exclamation);
    field->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(field))
        edit->selectAll();
    else if (auto* spin = qobject_cast<QAbstractSpinBox*>(field))
        spin->selectAll();
}

} // namespace vantry
