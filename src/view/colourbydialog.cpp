#include "view/colourbydialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QString>
#include <QVBoxLayout>

namespace vantry {

ColourByDialog::ColourByDialog(const ColourChoice& current, QWidget* parent)
    : QDialog(parent), field_(new QComboBox(this)), method_(new QComboBox(this)),
      classes_(new QSpinBox(this)) {
    setWindowTitle(QStringLiteral("Colour Links By"));
    for (ColourField f : colourFields()) {
        const std::string_view title = colourFieldTitle(f);
        field_->addItem(QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())),
                        static_cast<int>(f));
    }
    field_->setCurrentIndex(field_->findData(static_cast<int>(current.field)));
    method_->addItem(QStringLiteral("Equal intervals"),
                     static_cast<int>(ClassMethod::EqualInterval));
    method_->addItem(QStringLiteral("Quantiles"), static_cast<int>(ClassMethod::Quantiles));
    method_->setCurrentIndex(method_->findData(static_cast<int>(current.method)));
    classes_->setRange(kMinClasses, kMaxClasses);
    classes_->setValue(current.classes);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Field:"), field_);
    form->addRow(QStringLiteral("&Classes:"), method_);
    form->addRow(QStringLiteral("&Number of classes:"), classes_);
    auto* note = new QLabel(
        QStringLiteral("A field with %1 or fewer different values gets one colour for each.")
            .arg(kMaxDistinctValues),
        this);
    note->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(buttons);
    connect(field_, &QComboBox::currentIndexChanged, this, &ColourByDialog::fieldChosen);
    fieldChosen();
}

void ColourByDialog::fieldChosen() {
    // The type colours have no classes.
    const bool graduated = choice().field != ColourField::Type;
    method_->setEnabled(graduated);
    classes_->setEnabled(graduated);
}

ColourChoice ColourByDialog::choice() const {
    ColourChoice c;
    c.field = static_cast<ColourField>(field_->currentData().toInt());
    c.method = static_cast<ClassMethod>(method_->currentData().toInt());
    c.classes = classes_->value();
    return c;
}

std::optional<ColourChoice> askColourChoice(const ColourChoice& current, QWidget* parent) {
    ColourByDialog dialog(current, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
}

} // namespace vantry
