#pragma once

#include <QAbstractSpinBox>
#include <QString>

#include <cstdint>
#include <optional>

namespace vantry {

class Prompter;

// A digits-only integer field with up-down arrows. The range bounds only what the arrows and the
// Up and Down keys reach: any integer may still be typed, and the field may be left empty.
class CIntegerEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    // `fieldName` is how messages about this field name it.
    CIntegerEdit(const QString& fieldName, int minimum, int maximum, QWidget* parent = nullptr);

    const QString& fieldName() const { return fieldName_; }
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }

    void setText(const QString& text);
    void setInteger(std::int32_t value);
    // The integer the field holds, or nothing when its text is not one (see parseIntegerText).
    std::optional<std::int32_t> integer() const;
    // True when the field holds nothing but blanks.
    bool isBlank() const;
    // The integer the field holds; otherwise asks the user for an integer, puts the focus on the
    // field and returns nothing.
    std::optional<std::int32_t> read(Prompter& prompter);

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;
    QSize sizeHint() const override;

protected:
    StepEnabled stepEnabled() const override;

private:
    QString fieldName_;
    int minimum_;
    int maximum_;
};

} // namespace vantry
