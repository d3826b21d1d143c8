#include "dialogs/fieldcalcdlg.h"

#include "dialogs/dialogbuttons.h"
#include "dialogs/help.h"
#include "query/linkexpression.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

namespace vantry {

namespace {

constexpr long kFieldCalcHelpContext = 72;

bool sameAttributes(const LinkAttributes& a, const LinkAttributes& b) {
    return a.numLanes == b.numLanes && a.capacity == b.capacity &&
           std::memcmp(&a.length, &b.length, sizeof a.length) == 0 && a.ffSpeed == b.ffSpeed &&
           a.jamDensity == b.jamDensity && a.direction == b.direction && a.type == b.type &&
           a.description == b.description;
}

} // namespace

const std::vector<const char*>& CFieldCalcDlg::fieldNames() {
    static const std::vector<const char*> names = {"lanes",  "capacity",  "speed", "jam",
                                                   "length", "direction", "type",  "description"};
    return names;
}

bool applyCalculatedAttributes(const std::vector<Link*>& links,
                               const std::vector<LinkAttributes>& attributes) {
    bool changed = false;
    for (std::size_t i = 0; i < links.size() && i < attributes.size(); ++i) {
        changed = changed || !sameAttributes(links[i]->attributes(), attributes[i]);
        links[i]->setAttributes(attributes[i]);
    }
    return changed;
}

CFieldCalcDlg::CFieldCalcDlg(const Network& network, std::vector<Link*> selected, QWidget* parent)
    : QDialog(parent), network_(network), selected_(std::move(selected)) {
    setWindowTitle(QStringLiteral("Field Calculator"));

    selectedLinks_ =
        new QRadioButton(QStringLiteral("&Selected links (%1)").arg(selected_.size()), this);
    selectedLinks_->setObjectName(QStringLiteral("selected"));
    allLinks_ =
        new QRadioButton(QStringLiteral("&All links (%1)").arg(network_.links().size()), this);
    allLinks_->setObjectName(QStringLiteral("all"));
    matching_ = new QRadioButton(QStringLiteral("Links &matching:"), this);
    matching_->setObjectName(QStringLiteral("matching"));
    where_ = new QLineEdit(this);
    where_->setObjectName(QStringLiteral("where"));
    where_->setPlaceholderText(QStringLiteral("type = 'R'"));
    (selected_.empty() ? allLinks_ : selectedLinks_)->setChecked(true);
    selectedLinks_->setEnabled(!selected_.empty());
    connect(where_, &QLineEdit::textEdited, matching_, [this] { matching_->setChecked(true); });

    auto* which = new QGroupBox(QStringLiteral("Which links"), this);
    auto* whichLayout = new QGridLayout(which);
    whichLayout->addWidget(selectedLinks_, 0, 0, 1, 2);
    whichLayout->addWidget(allLinks_, 1, 0, 1, 2);
    whichLayout->addWidget(matching_, 2, 0);
    whichLayout->addWidget(where_, 2, 1);

    field_ = new QComboBox(this);
    field_->setObjectName(QStringLiteral("field"));
    for (const char* name : fieldNames())
        field_->addItem(QString::fromLatin1(name));
    field_->setCurrentText(QStringLiteral("capacity"));
    value_ = new QLineEdit(this);
    value_->setObjectName(QStringLiteral("value"));
    value_->setPlaceholderText(QStringLiteral("lanes * 1900"));
    value_->setMinimumWidth(300);
    auto* fieldCaption = new QLabel(QStringLiteral("&Field:"), this);
    fieldCaption->setBuddy(field_);
    auto* valueCaption = new QLabel(QStringLiteral("Ne&w value:"), this);
    valueCaption->setBuddy(value_);
    auto* form = new QFormLayout;
    form->addRow(fieldCaption, field_);
    form->addRow(valueCaption, value_);

    problem_ = createProblemLabel(this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(which);
    layout->addLayout(form);
    layout->addWidget(problem_);
    layout->addWidget(
        createDialogButtons(this, [] { showGuide(HelpRequest::Context, kFieldCalcHelpContext); }));
    value_->setFocus();
}

QString CFieldCalcDlg::problem() const {
    return problem_->isHidden() ? QString() : problem_->text();
}

void CFieldCalcDlg::refuse(const QString& why, QLineEdit* field, int column) {
    problem_->setText(why);
    problem_->show();
    field->setFocus();
    if (column > 0)
        field->setCursorPosition(column - 1);
    else
        field->selectAll();
}

std::optional<std::vector<Link*>> CFieldCalcDlg::chosenLinks() {
    if (selectedLinks_->isChecked())
        return selected_;
    if (allLinks_->isChecked())
        return network_.links();
    ExpressionError error;
    const auto predicate = parseLinkPredicate(where_->text().toStdString(), &error);
    if (!predicate) {
        refuse(QStringLiteral("Which links: %1").arg(QString::fromStdString(error.text())), where_,
               error.column);
        return std::nullopt;
    }
    return selectLinks(network_, *predicate);
}

void CFieldCalcDlg::accept() {
    const auto links = chosenLinks();
    if (!links)
        return;
    if (links->empty())
        return refuse(QStringLiteral("No link is chosen: nothing would change."),
                      matching_->isChecked() ? where_ : value_);
    // The field and "=" go before what was typed; the error's column is then moved back onto
    // the typed text.
    const std::string prefix = field_->currentText().toStdString() + " = ";
    ExpressionError error;
    const auto assignment = parseLinkAssignment(prefix + value_->text().toStdString(), &error);
    if (!assignment) {
        error.column = std::max(1, error.column - static_cast<int>(prefix.size()));
        return refuse(QString::fromStdString(error.text()), value_, error.column);
    }
    std::string why;
    auto attributes = assignedAttributes(*links, {*assignment}, &why);
    if (!attributes)
        return refuse(QString::fromStdString(why), value_);
    links_ = *links;
    attributes_ = std::move(*attributes);
    QDialog::accept();
}

} // namespace vantry
