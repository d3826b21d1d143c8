#include "dialogs/expressiondlg.h"

#include "dialogs/dialogbuttons.h"
#include "dialogs/help.h"
#include "query/linkexpression.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
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
    expression_->setMinimumWidth(360);
    auto* links = new QRadioButton(QStringLiteral("&Links"), this);
    links->setObjectName(QStringLiteral("links"));
    links->setChecked(true);
    nodes_ = new QRadioButton(QStringLiteral("&Nodes"), this);
    nodes_->setObjectName(QStringLiteral("nodes"));
    auto* subject = new QHBoxLayout;
    subject->addWidget(links);
    subject->addWidget(nodes_);
    subject->addStretch();
    auto* caption = new QLabel(QStringLiteral("&Expression:"), this);
    caption->setBuddy(expression_);
    verdict_ = new QLabel(this);
    verdict_->setObjectName(QStringLiteral("verdict"));
    verdict_->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Select:"), subject);
    form->addRow(caption, expression_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(verdict_);
    layout->addWidget(
        createDialogButtons(this, [] { showGuide(HelpRequest::Context, kSelectHelpContext); }));
    connect(expression_, &QLineEdit::textChanged, this, [this] { evaluate(); });
    connect(nodes_, &QRadioButton::toggled, this, [this] { evaluate(); });
    evaluate();
    expression_->setFocus();
}

QString CExpressionDlg::verdict() const {
    return verdict_->text();
}

bool CExpressionDlg::choosesNodes() const {
    return nodes_->isChecked();
}

bool CExpressionDlg::evaluate() {
    matches_.clear();
    nodeMatches_.clear();
    errorColumn_ = 0;
    const bool nodes = choosesNodes();
    const QString objects = nodes ? QStringLiteral("node") : QStringLiteral("link");
    expression_->setPlaceholderText(nodes ? QStringLiteral("links >= 3 and x > 2")
                                          : QStringLiteral("lanes >= 2 and type = 'R'"));
    const QString text = expression_->text();
    if (text.trimmed().isEmpty()) {
        verdict_->setStyleSheet(QString());
        verdict_->setText(
            QStringLiteral("Type an expression; the %1s it matches are counted as you type.")
                .arg(objects));
        return false;
    }
    ExpressionError error;
    std::size_t matched = 0;
    std::size_t all = 0;
    bool parsed = false;
    if (nodes) {
        if (const auto predicate = parseNodePredicate(text.toStdString(), &error)) {
            parsed = true;
            nodeMatches_ = selectNodes(network_, *predicate);
            matched = nodeMatches_.size();
            all = network_.nodes().size();
        }
    } else if (const auto predicate = parseLinkPredicate(text.toStdString(), &error)) {
        parsed = true;
        matches_ = selectLinks(network_, *predicate);
        matched = matches_.size();
        all = network_.links().size();
    }
    if (!parsed) {
        errorColumn_ = error.column;
        verdict_->setStyleSheet(QStringLiteral("color: #b00000"));
        verdict_->setText(QString::fromStdString(error.text()));
        return false;
    }
    verdict_->setStyleSheet(QString());
    verdict_->setText(QStringLiteral("%1 of %2 %3%4 match%5.")
                          .arg(matched)
                          .arg(all)
                          .arg(objects)
                          .arg(all == 1 ? "" : "s")
                          .arg(matched == 1 ? "es" : ""));
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
