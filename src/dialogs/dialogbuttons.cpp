#include "dialogs/dialogbuttons.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>

namespace vantry {

QLabel* createProblemLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QStringLiteral("problem"));
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: #b00000"));
    label->hide();
    return label;
}

QDialogButtonBox* createDialogButtons(QDialog* dialog, std::function<void()> onHelp) {
    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, dialog);
    // The toolkit's own captions vary with the platform; these are the program's.
    const struct {
        QDialogButtonBox::StandardButton which;
        const char* text;
        const char* objectName;
    } captions[] = {{QDialogButtonBox::Ok, "OK", "ok"},
                    {QDialogButtonBox::Cancel, "Cancel", "cancel"},
                    {QDialogButtonBox::Help, "&Help", "help"}};
    for (const auto& c : captions) {
        QPushButton* button = buttons->button(c.which);
        button->setText(QString::fromLatin1(c.text));
        button->setObjectName(QLatin1String(c.objectName));
    }
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QObject::connect(buttons, &QDialogButtonBox::helpRequested, dialog, std::move(onHelp));
    return buttons;
}

int execWindowModal(QDialog& dialog) {
    dialog.setWindowModality(Qt::WindowModal);
    return dialog.exec();
}

} // namespace vantry
