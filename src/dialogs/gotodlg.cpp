#include "dialogs/gotodlg.h"

#include "dialogs/dialogbuttons.h"
#include "dialogs/help.h"
#include "model/network.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace vantry {

namespace {

constexpr long kGoToHelpContext = 70;

} // namespace

std::optional<GoToTarget> parseGoToText(const QString& text, GoToKind bareNumber) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*([a-z]*)\\s*#?\\s*(\\d{1,9})\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QString word = match.captured(1).toLower();
    GoToTarget target{bareNumber, match.captured(2).toInt()};
    if (word.isEmpty())
        return target;
    // Any start of the word will do, so that "l 4" and "node 4" both work.
    if (QStringLiteral("link").startsWith(word))
        target.kind = GoToKind::Link;
    else if (QStringLiteral("node").startsWith(word))
        target.kind = GoToKind::Node;
    else
        return std::nullopt;
    return target;
}

QString missingObjectReason(const Network& network, const GoToTarget& target) {
    const bool link = target.kind == GoToKind::Link;
    const std::size_t count = link ? network.links().size() : network.nodes().size();
    if (target.number >= 1 && static_cast<std::size_t>(target.number) <= count)
        return QString();
    const QString kind = link ? QStringLiteral("link") : QStringLiteral("node");
    if (count == 0)
        return QStringLiteral("There is no %1 %2: the network has no %1s.")
            .arg(kind)
            .arg(target.number);
    return QStringLiteral("There is no %1 %2: the %1s are numbered 1 to %3.")
        .arg(kind)
        .arg(target.number)
        .arg(count);
}

CGoToDlg::CGoToDlg(const Network& network, QWidget* parent) : QDialog(parent), network_(network) {
    setWindowTitle(QStringLiteral("Go To Link / Node"));
    what_ = new QLineEdit(this);
    what_->setObjectName(QStringLiteral("what"));
    what_->setPlaceholderText(QStringLiteral("link 12, node 5 or a number"));
    what_->setMinimumWidth(240);
    link_ = new QRadioButton(QStringLiteral("&Link"), this);
    link_->setObjectName(QStringLiteral("link"));
    node_ = new QRadioButton(QStringLiteral("&Node"), this);
    node_->setObjectName(QStringLiteral("node"));
    link_->setChecked(true);

    auto* caption = new QLabel(QStringLiteral("&Go to:"), this);
    caption->setBuddy(what_);
    auto* kinds = new QHBoxLayout;
    kinds->addWidget(new QLabel(QStringLiteral("A number alone is a:"), this));
    kinds->addWidget(link_);
    kinds->addWidget(node_);
    kinds->addStretch(1);
    auto* form = new QFormLayout;
    form->addRow(caption, what_);

    problem_ = createProblemLabel(this);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(kinds);
    layout->addWidget(problem_);
    layout->addWidget(
        createDialogButtons(this, [] { showGuide(HelpRequest::Context, kGoToHelpContext); }));
    what_->setFocus();
}

QString CGoToDlg::problem() const {
    return problem_->isHidden() ? QString() : problem_->text();
}

void CGoToDlg::refuse(const QString& why) {
    problem_->setText(why);
    problem_->show();
    what_->setFocus();
    what_->selectAll();
}

void CGoToDlg::accept() {
    const auto target =
        parseGoToText(what_->text(), node_->isChecked() ? GoToKind::Node : GoToKind::Link);
    if (!target)
        return refuse(QStringLiteral("Type a link or node number, such as \"link 12\" or "
                                     "\"node 5\"."));
    if (const QString why = missingObjectReason(network_, *target); !why.isEmpty())
        return refuse(why);
    target_ = *target;
    QDialog::accept();
}

} // namespace vantry
