#include "dialogs/routedlg.h"

#include "dialogs/dialogbuttons.h"
#include "dialogs/help.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace vantry {

namespace {

constexpr long kRouteHelpContext = 80;
// The types' names with their access keys, in the order of avoidableLinkTypes().
constexpr const char* kAccessKeyNames[] = {"&Mainline", "&Work Zone", "Detour &1",
                                           "Detour &2", "R&amp",      "N&one"};

} // namespace

const std::vector<LinkType>& avoidableLinkTypes() {
    static const std::vector<LinkType> types = {LinkType::Mainline, LinkType::Workzone,
                                                LinkType::Detour1,  LinkType::Detour2,
                                                LinkType::Ramp,     LinkType::None};
    return types;
}

QString avoidableTypeName(LinkType type) {
    switch (type) {
    case LinkType::Mainline:
        return QStringLiteral("Mainline");
    case LinkType::Workzone:
        return QStringLiteral("Work Zone");
    case LinkType::Detour1:
        return QStringLiteral("Detour 1");
    case LinkType::Detour2:
        return QStringLiteral("Detour 2");
    case LinkType::Ramp:
        return QStringLiteral("Ramp");
    case LinkType::None:
        return QStringLiteral("None");
    }
    return QString();
}

QString routeNodeProblem(const Network& network, const QString& text, const QString& end) {
    const QString trimmed = text.trimmed();
    const std::size_t count = network.nodes().size();
    if (count == 0)
        return QStringLiteral("The network has no nodes to route between.");
    const QString range = QStringLiteral("the nodes are numbered 1 to %1").arg(count);
    if (trimmed.isEmpty())
        return QStringLiteral("Type the number of the node the route %1s at (%2).").arg(end, range);
    bool ok = false;
    const qlonglong number = trimmed.toLongLong(&ok);
    if (!ok)
        return QStringLiteral("\"%1\" is not a node number: %2.").arg(trimmed, range);
    if (number < 1 || static_cast<unsigned long long>(number) > count)
        return QStringLiteral("There is no node %1: %2.").arg(number).arg(range);
    return QString();
}

CRouteDlg::CRouteDlg(const Network& network, const RouteChoice& initial, std::size_t selectedLinks,
                     QWidget* parent)
    : QDialog(parent), network_(network), choice_(initial) {
    setWindowTitle(QStringLiteral("Route"));
    const auto numberEdit = [this](const char* name, int value) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setMinimumWidth(120);
        if (value > 0)
            edit->setText(QString::number(value));
        return edit;
    };
    from_ = numberEdit("from", initial.from);
    to_ = numberEdit("to", initial.to);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&From node:"), from_);
    form->addRow(QStringLiteral("&To node:"), to_);

    auto* avoid = new QGroupBox(QStringLiteral("Avoid link types"), this);
    auto* grid = new QGridLayout(avoid);
    const auto& types = avoidableLinkTypes();
    for (std::size_t i = 0; i < types.size(); ++i) {
        auto* box = new QCheckBox(QString::fromLatin1(kAccessKeyNames[i]), avoid);
        box->setObjectName(QStringLiteral("avoid ") + avoidableTypeName(types[i]));
        box->setChecked(std::find(initial.avoidTypes.begin(), initial.avoidTypes.end(), types[i]) !=
                        initial.avoidTypes.end());
        grid->addWidget(box, static_cast<int>(i / 3), static_cast<int>(i % 3));
        types_.push_back(box);
    }
    selected_ = new QCheckBox(
        selectedLinks == 0 ? QStringLiteral("Avoid the &selected links (none selected)")
                           : QStringLiteral("Avoid the &selected links (%1)").arg(selectedLinks),
        this);
    selected_->setObjectName(QStringLiteral("avoid selected"));
    selected_->setEnabled(selectedLinks > 0);
    selected_->setChecked(selectedLinks > 0 && initial.avoidSelected);

    problem_ = createProblemLabel(this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(avoid);
    layout->addWidget(selected_);
    layout->addWidget(problem_);
    layout->addWidget(
        createDialogButtons(this, [] { showGuide(HelpRequest::Context, kRouteHelpContext); }));
    QLineEdit* first = initial.from > 0 && initial.to <= 0 ? to_ : from_;
    first->setFocus();
    first->selectAll();
}

QString CRouteDlg::problem() const {
    return problem_->isHidden() ? QString() : problem_->text();
}

void CRouteDlg::refuse(const QString& why, QLineEdit* field) {
    problem_->setText(why);
    problem_->show();
    field->setFocus();
    field->selectAll();
}

void CRouteDlg::accept() {
    if (const QString why = routeNodeProblem(network_, from_->text(), QStringLiteral("start"));
        !why.isEmpty())
        return refuse(QStringLiteral("From node: ") + why, from_);
    if (const QString why = routeNodeProblem(network_, to_->text(), QStringLiteral("end"));
        !why.isEmpty())
        return refuse(QStringLiteral("To node: ") + why, to_);
    const int from = from_->text().trimmed().toInt();
    const int to = to_->text().trimmed().toInt();
    if (from == to)
        return refuse(
            QStringLiteral("The route starts and ends at node %1: choose another To node.")
                .arg(from),
            to_);
    choice_.from = from;
    choice_.to = to;
    choice_.avoidTypes.clear();
    for (std::size_t i = 0; i < types_.size(); ++i)
        if (types_[i]->isChecked())
            choice_.avoidTypes.push_back(avoidableLinkTypes()[i]);
    choice_.avoidSelected = selected_->isEnabled() && selected_->isChecked();
    QDialog::accept();
}

} // namespace vantry
