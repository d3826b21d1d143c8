#include "dialogs/expressiondlg.h"

#include "dialogs/dialogbuttons.h"
#include "dialogs/help.h"
#include "query/linkexpression.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace vantry {

namespace {

constexpr long kSelectHelpContext = 71;

} // namespace

CExpressionDlg::CExpressionDlg(const Network& network, QWidget* parent)
    : QDialog(parent), network_(network) {
    setWindowTitle(QStringLiteral("Select by Expression"));
    expression_ = new QLineEdit(this);
    expression_->setObjectName(QStringLiteral("expression"));
    expression_->setPlaceholderText(QStringLiteral("lanes >= 2 and type = 'R'"));
    expression_->setMinimumWidth(360);
    auto* caption = new QLabel(QStringLiteral("&Expression:"), this);
    caption->setBuddy(expression_);
    verdict_ = new QLabel(this);
    verdict_->setObjectName(QStringLiteral("verdict"));
    verdict_->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(caption, expression_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(verdict_);
    layout->addWidget(
        createDialogButtons(this, [] { showGuide(HelpRequest::Context, kSelectHelpContext); }));
    connect(expression_, &QLineEdit::textChanged, this, [this] { evaluate(); });
    evaluate();
    expression_->setFocus();
}

QString CExpressionDlg::verdict() const {
    return verdict_->text();
}

bool CExpressionDlg::evaluate() {
    matches_.clear();
    errorColumn_ = 0;
    const QString text = expression_->text();
    if (text.trimmed().isEmpty()) {
        verdict_->setStyleSheet(QString());
        verdict_->setText(QStringLiteral("Type an expression; the links it matches are counted "
                                         "as you type."));
        return false;
    }
    ExpressionError error;
    const auto predicate = parseLinkPredicate(text.toStdString(), &error);
    if (!predicate) {
        errorColumn_ = error.column;
        verdict_->setStyleSheet(QStringLiteral("color: #b00000"));
        verdict_->setText(QString::fromStdString(error.text()));
        return false;
    }
    matches_ = selectLinks(network_, *predicate);
    const std::size_t all = network_.links().size();
    verdict_->setStyleSheet(QString());
    verdict_->setText(QStringLiteral("%1 of %2 link%3 match%4.")
                          .arg(matches_.size())
                          .arg(all)
                          .arg(all == 1 ? "" : "s")
                          .arg(matches_.size() == 1 ? "es" : ""));
    return true;
}

void CExpressionDlg::accept() {
    if (!evaluate()) {
        expression_->setFocus();
        if (errorColumn_ > 0)
            expression_->setCursorPosition(errorColumn_ - 1);
        return;
    }
    QDialog::accept();
}

} // namespace vantry
