#include "dialogs/integeredit.h"

#include "dialogs/fieldinput.h"

#include <QLineEdit>

#include <algorithm>

namespace vantry {

CIntegerEdit::CIntegerEdit(const QString& fieldName, int minimum, int maximum, QWidget* parent)
    : QAbstractSpinBox(parent), fieldName_(fieldName), minimum_(minimum), maximum_(maximum) {
    setAlignment(Qt::AlignRight);
    setAccessibleName(fieldName);
}

void CIntegerEdit::setText(const QString& text) {
    lineEdit()->setText(text);
}

void CIntegerEdit::setInteger(std::int32_t value) {
    setText(QString::number(value));
}

std::optional<std::int32_t> CIntegerEdit::integer() const {
    return parseIntegerText(text());
}

bool CIntegerEdit::isBlank() const {
    return text().trimmed().isEmpty();
}

std::optional<std::int32_t> CIntegerEdit::read(Prompter& prompter) {
    const std::optional<std::int32_t> value = integer();
    if (!value)
        refuseField(this, prompter, integerFieldMessage(fieldName_));
    return value;
}

void CIntegerEdit::stepBy(int steps) {
    // An empty or unreadable field starts from the bottom of the range; a typed value beyond the
    // range is brought back into it by the first step.
    const std::optional<std::int32_t> value = integer();
    const std::int64_t next = value ? std::int64_t{*value} + steps : minimum_;
    setInteger(static_cast<std::int32_t>(std::clamp<std::int64_t>(next, minimum_, maximum_)));
    selectAll();
}

QValidator::State CIntegerEdit::validate(QString& input, int&) const {
    for (const QChar c : input)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return QValidator::Invalid;
    return QValidator::Acceptable;
}

QSize CIntegerEdit::sizeHint() const {
    QSize size = QAbstractSpinBox::sizeHint();
    const int digits = static_cast<int>(QString::number(maximum_).size()) + 2;
    size.rwidth() += fontMetrics().horizontalAdvance(QString(digits, QLatin1Char('0')));
    return size;
}

QAbstractSpinBox::StepEnabled CIntegerEdit::stepEnabled() const {
    if (isReadOnly())
        return StepNone;
    const std::optional<std::int32_t> value = integer();
    if (!value)
        return StepUpEnabled | StepDownEnabled;
    StepEnabled enabled = StepNone;
    if (*value < maximum_)
        enabled |= StepUpEnabled;
    if (*value > minimum_)
        enabled |= StepDownEnabled;
    return enabled;
}

} // namespace vantry
