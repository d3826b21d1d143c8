#include "dialogs/nodedlg.h"

#include "dialogs/dialogbuttons.h"
#include "dialogs/fieldinput.h"
#include "dialogs/help.h"
#include "model/network.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <cmath>

namespace vantry {

namespace {

constexpr long kNodeHelpContext = 27;

} // namespace

CNodeDlg::CNodeDlg(Node& node, Prompter& prompter, QWidget* parent)
    : QDialog(parent), node_(node), prompter_(prompter), x_(node.x()), y_(node.y()) {
    setWindowTitle(QStringLiteral("Node %1 Properties").arg(node.id()));

    auto* form = new QFormLayout;
    xEdit_ = addCoordinate(*form, QStringLiteral("X"), "x", x_, shownX_);
    yEdit_ = addCoordinate(*form, QStringLiteral("Y"), "y", y_, shownY_);

    auto* buttons =
        createDialogButtons(this, [this] { showGuide(HelpRequest::Context, kNodeHelpContext); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

QLineEdit* CNodeDlg::addCoordinate(QFormLayout& form, const QString& name, const char* objectName,
                                   float value, QString& shown) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QLatin1String(objectName));
    edit->setAccessibleName(name);
    edit->setAlignment(Qt::AlignRight);
    shown = formatSignificant(value, 6);
    edit->setText(shown);
    auto* caption = new QLabel(QLatin1Char('&') + name + QLatin1Char(':'), this);
    caption->setBuddy(edit);
    form.addRow(caption, edit);
    return edit;
}

std::optional<float> CNodeDlg::readCoordinate(QLineEdit* edit, const QString& shown,
                                              float unchanged, const QString& name) {
    // Six digits are fewer than a float holds: rereading an untouched box would move the node.
    if (edit->text() == shown)
        return unchanged;
    const std::optional<double> value = parseNumberText(edit->text());
    if (value && std::isfinite(static_cast<float>(*value)))
        return static_cast<float>(*value);
    refuseField(edit, prompter_, QStringLiteral("Please enter a number for %1.").arg(name));
    return std::nullopt;
}

void CNodeDlg::accept() {
    const std::optional<float> x = readCoordinate(xEdit_, shownX_, node_.x(), QStringLiteral("X"));
    if (!x)
        return;
    const std::optional<float> y = readCoordinate(yEdit_, shownY_, node_.y(), QStringLiteral("Y"));
    if (!y)
        return;
    x_ = *x;
    y_ = *y;
    QDialog::accept();
}

void CNodeDlg::apply() {
    if (result() != QDialog::Accepted)
        return;
    node_.setX(x_);
    node_.setY(y_);
}

} // namespace vantry
